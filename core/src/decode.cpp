// Program words to the pre-decoded form, once per installed program, so that the
// per-sample loop only dispatches. Every field an opcode uses is extracted and
// widened here, named where it is taken out of the word.
#include <algorithm>

#include "fxcore/fxcore_core.h"
#include "fxcore/instruction_set.h"
#include "fxcore/q31.h"
#include "handlers.h"

namespace fxcore {

FXCoreCore::DecodedWord FXCoreCore::decodeWord(uint32_t w, int pc, int jumpLimit) {
    DecodedWord d;
    const auto opcode = validOpcode(w);
    if (!opcode) {
        d.handler = handlers::kSkip;  // an invalid word changes nothing
        return d;
    }

    const auto ra = static_cast<uint8_t>((w >> 16) & 31u);
    const auto rb = static_cast<uint8_t>(w & 31u);              // rb, or n
    const auto u16 = static_cast<int32_t>(w & 0xFFFFu);
    const auto s16 = static_cast<int32_t>(static_cast<int16_t>(w & 0xFFFFu));
    const int32_t h = q31::asSigned((w & 0xFFFFu) << 16);          // U16 as the upper half
    const int32_t c = q31::asSigned(((w >> 16) & 0xFFu) << 24);    // 8-bit coefficient as Q1.31
    const auto a = static_cast<int32_t>(w & 0x7FFFu);              // delay address
    const auto j = static_cast<int32_t>(w & 0xFFFu);               // jump offset

    d.op = static_cast<uint8_t>(*opcode);
    d.handler = handlers::kRowOfOpcode[*opcode];
    d.ra = ra;
    switch (findOpcode(*opcode)->format) {
        case OperandFormat::None:
        case OperandFormat::R: break;
        case OperandFormat::RR:
        case OperandFormat::RN: d.rb = rb; break;
        case OperandFormat::RS16:
            // Opcode 21 multiplies by an eighth of S16, divided before it is widened.
            d.imm = *opcode == 21 ? q31::asSigned(q31::asUnsigned(s16 >> 3) << 16) : s16;
            break;
        case OperandFormat::RU16:
            // The logic opcodes take U16 itself; the others its Q1.31 reading H.
            d.imm = (*opcode >= 82 && *opcode <= 86) ? u16 : h;
            break;
        case OperandFormat::RA: d.addr = a; break;
        case OperandFormat::CA:
            d.imm = c;
            d.addr = a;
            break;
        case OperandFormat::RM: d.sel = static_cast<uint8_t>(w & 127u); break;
        case OperandFormat::RK: d.sel = static_cast<uint8_t>(w & 63u); break;
        case OperandFormat::RJ:
        case OperandFormat::J: d.addr = std::min(pc + 1 + j, jumpLimit); break;
        case OperandFormat::LfoRead:
            d.sel = static_cast<uint8_t>((w >> 16) & 7u);  // LFO output 0-7, from LFO0_SIN
            d.neg = static_cast<uint8_t>((w >> 19) & 1u);
            d.addr = a;
            break;
        case OperandFormat::RampRead:
            // Tap set: ramp (bit 16) x window size (bits 19-18), 0-7.
            d.sel = static_cast<uint8_t>((((w >> 16) & 1u) << 2) | ((w >> 18) & 3u));
            d.addr = a;
            break;
        case OperandFormat::UserOut:
            d.sel = static_cast<uint8_t>((w >> 5) & 1u);           // USER0 or USER1
            d.rb = rb;                                             // bit number n
            break;
    }
    return d;
}

void FXCoreCore::decodeProgram() {
    const void* const* handlerAddresses = nullptr;
    runProgram(&handlerAddresses);
    rampTapSetsUsed = 0;
    for (int pc = 0; pc <= programLength; ++pc) {
        DecodedWord d;
        if (pc < programLength) {
            d = decodeWord(program[pc], pc, programLength);
            if (d.op == 105 && d.handler != handlers::kSkip)
                rampTapSetsUsed = static_cast<uint8_t>(rampTapSetsUsed | (1u << d.sel));
        } else {
            d.handler = handlers::kEnd;
        }
        threaded[pc] = {d, handlerAddresses[d.handler]};
    }
}

}  // namespace fxcore
