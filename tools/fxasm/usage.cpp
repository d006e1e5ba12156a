#include "fxasm/usage.h"

#include "fxasm/operands.h"
#include "fxcore/instruction_set.h"

namespace fxasm {
namespace {

constexpr const char* kIntroduction = R"(usage: fxcore-asm [-o output.hex] input.fxasm
       fxcore-asm --help

Assembles an FXCore program into Intel HEX (to standard output without -o).
Errors are reported as file:line: reason; nothing is written when there is one.

Source, one statement per line, ';' starts a comment:
  label:                       names the next program word (jumps go forward only)
  MNEMONIC operand, ...        one program word (at most 1024)
  .equ NAME, value             a named constant, usable wherever a number is
  .mreg index, value           preset of MREG0-MREG127 (32-bit)
  .creg Rn, value              preset of R0-R15 (32-bit)
  .sfr FIELD, value            SFR preset block field:
                               POT0_SHIFT..POT5_SHIFT (0-31),
                               LFO0_RATE..LFO3_RATE, RAMP0_RATE, RAMP1_RATE, TAP_MAX,
                               TAP_INTERVAL (32-bit), TAP_HOLD, TAP_DEBOUNCE,
                               SWITCH_DEBOUNCE, SPARE0, SPARE1 (0-65535),
                               USER0_ON, USER1_ON (0 or 1)
Numbers: 123, -5, 0x1F, -0x10, or fractions such as 0.5 and -0.25, scaled to the
field (Q1.31 for 32-bit values, Q1.15 for s16/u16, Q1.7 for coefficients).
Mnemonics, registers and SFR names are case-insensitive; labels and constants are not.

Operands:
  ra, rb       R0-R15, ACC32, FLAGS, MREG0-MREG13
  n            0-31
  address      delay address 0-32767
  mreg         MREG0-MREG127 or 0-127
  sfr          SFR name (IN0, OUT0, POT0, LFO0_SIN, RAMP0, NOISE, ...) or 0-63
  label        a label defined after the jump, at most 4095 words past it

Instructions:
)";

}  // namespace

std::string usageText() {
    std::string text = kIntroduction;
    for (const fxcore::OpcodeInfo& info : fxcore::opcodeTable()) {
        std::string line = "  " + std::string(info.mnemonic);
        line.resize(12, ' ');
        line += operandSyntax(info.format);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        text += line + '\n';
    }
    return text;
}

}  // namespace fxasm
