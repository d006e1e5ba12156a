// The FXCore instruction word and the table of valid opcodes.
//
// One table describes every opcode once: its number, its assembly mnemonic and
// which word fields it uses. The chip's decoder, the test helpers and the
// assembler all read it, so an opcode's layout is written down in one place.
//
// Word layout (bit 0 least significant):
//   31-25 opcode | 24 must be 0 | 23-16 "high byte": ra (20-16), or C (23-16), or
//   read-mode selects | 15-0 "low half": rb/n (4-0), U16/S16, address a (14-0),
//   M (6-0), K (5-0), J (11-0), user select (5) + n (4-0).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace fxcore {

// Which fields an opcode uses, and so how its operands are written.
enum class OperandFormat : uint8_t {
    None,       // no operands
    R,          // ra
    RR,         // ra, rb
    RN,         // ra, n (shift count or bit number 0-31)
    RS16,       // ra, signed 16-bit immediate
    RU16,       // ra, unsigned 16-bit immediate (H = U16 << 16 where used as Q1.31)
    RA,         // ra, delay address a (0-32767)
    CA,         // C (signed 8-bit coefficient, 7 fractional bits), delay address a
    RM,         // ra, memory register M (0-127)
    RK,         // ra, SFR number K (0-63)
    RJ,         // ra, jump offset J (0-4095)
    J,          // jump offset J
    LfoRead,    // LFO output select 0-7, negate flag, delay address a
    RampRead,   // ramp 0-1, window size select 0-3, delay address a
    UserOut,    // ra, user output 0-1, bit number n
};

struct OpcodeInfo {
    uint8_t opcode;
    std::string_view mnemonic;
    OperandFormat format;
};

// The 72 valid opcodes, in opcode order.
std::span<const OpcodeInfo> opcodeTable();

// Table row for an opcode number, or nullptr when the number is not a valid opcode.
const OpcodeInfo* findOpcode(unsigned opcode);
// Table row for a mnemonic (case-insensitive), or nullptr.
const OpcodeInfo* findMnemonic(std::string_view mnemonic);

// The opcode of a word when the word is valid, else nothing. Bit 24 set, opcodes
// above 107 and the unassigned numbers are invalid.
std::optional<unsigned> validOpcode(uint32_t word);

// Operand values of one instruction; each format reads the members it names.
struct Operands {
    int ra = 0;      // register slot 0-31
    int rb = 0;      // register slot 0-31, or n 0-31
    int32_t imm = 0; // S16 (-32768..32767) or U16 (0..65535)
    int addr = 0;    // delay address 0-32767
    int coef = 0;    // C as a signed byte, -128..127 (value coef / 128)
    int index = 0;   // M 0-127, K 0-63, J 0-4095
    int select = 0;  // LFO output 0-7, ramp 0-1, user output 0-1
    int option = 0;  // LFO negate 0-1, ramp window size 0-3
};

// Raw composition: opcode into bits 31-25, high byte into 23-16, low half into 15-0.
constexpr uint32_t makeWord(unsigned opcode, unsigned highByte, unsigned lowHalf) {
    return ((opcode & 0x7Fu) << 25) | ((highByte & 0xFFu) << 16) | (lowHalf & 0xFFFFu);
}

// Encodes an instruction. Returns an error text when the opcode is not valid or an
// operand is out of its field's range; nothing is truncated silently.
struct EncodeResult {
    uint32_t word = 0;
    std::string error;  // empty on success
};
EncodeResult encodeInstruction(unsigned opcode, const Operands& ops);

}  // namespace fxcore
