#include "fxcore/instruction_set.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <cctype>

namespace fxcore {
namespace {

using F = OperandFormat;

// Generated from the one description of every opcode.
constexpr OpcodeInfo kOpcodes[] = {
#define OP(number, mnemonic, format, ...) {number, #mnemonic, F::format},
#include "opcodes.inc"
#undef OP
};
static_assert(std::size(kOpcodes) == 72, "the chip has 72 valid opcodes");

constexpr std::array<int8_t, 128> buildIndex() {
    std::array<int8_t, 128> index{};
    for (auto& i : index) i = -1;
    for (size_t i = 0; i < std::size(kOpcodes); ++i) index[kOpcodes[i].opcode] = static_cast<int8_t>(i);
    return index;
}
constexpr std::array<int8_t, 128> kIndex = buildIndex();

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

std::string outOfRange(std::string_view what, long value, long lo, long hi) {
    return std::string(what) + " " + std::to_string(value) + " is out of range " + std::to_string(lo) + ".." +
           std::to_string(hi);
}

bool inRange(long v, long lo, long hi) { return v >= lo && v <= hi; }

}  // namespace

std::span<const OpcodeInfo> opcodeTable() { return kOpcodes; }

const OpcodeInfo* findOpcode(unsigned opcode) {
    if (opcode >= kIndex.size() || kIndex[opcode] < 0) return nullptr;
    return &kOpcodes[static_cast<size_t>(kIndex[opcode])];
}

const OpcodeInfo* findMnemonic(std::string_view mnemonic) {
    for (const auto& info : kOpcodes)
        if (equalsIgnoreCase(info.mnemonic, mnemonic)) return &info;
    return nullptr;
}

std::optional<unsigned> validOpcode(uint32_t word) {
    // Rotating the top byte right by one puts bit 24 at the top, so one unsigned
    // comparison rejects both bit 24 and opcodes above 107.
    const uint32_t top = word >> 24;
    const uint32_t c = (top >> 1) | ((top & 1u) << 31);
    if (c > 107u) return std::nullopt;
    if (kIndex[c] < 0) return std::nullopt;
    return c;
}

EncodeResult encodeInstruction(unsigned opcode, const Operands& ops) {
    const OpcodeInfo* info = findOpcode(opcode);
    if (!info) return {0, "opcode " + std::to_string(opcode) + " is not a valid opcode"};

    unsigned high = 0;
    unsigned low = 0;
    auto reg = [&](int value, const char* what, unsigned& out) -> std::string {
        if (!inRange(value, 0, 31)) return outOfRange(what, value, 0, 31);
        out = static_cast<unsigned>(value);
        return {};
    };
    auto field = [&](long value, long lo, long hi, const char* what, unsigned& out) -> std::string {
        if (!inRange(value, lo, hi)) return outOfRange(what, value, lo, hi);
        out = static_cast<unsigned>(value) & 0xFFFFu;
        return {};
    };

    std::string error;
    switch (info->format) {
        case OperandFormat::None: break;
        case OperandFormat::R: error = reg(ops.ra, "register", high); break;
        case OperandFormat::RR:
            error = reg(ops.ra, "register", high);
            if (error.empty()) error = reg(ops.rb, "register", low);
            break;
        case OperandFormat::RN:
            error = reg(ops.ra, "register", high);
            if (error.empty()) error = field(ops.rb, 0, 31, "shift or bit number", low);
            break;
        case OperandFormat::RS16:
            error = reg(ops.ra, "register", high);
            if (error.empty()) error = field(ops.imm, -32768, 32767, "signed immediate", low);
            break;
        case OperandFormat::RU16:
            error = reg(ops.ra, "register", high);
            if (error.empty()) error = field(ops.imm, 0, 65535, "unsigned immediate", low);
            break;
        case OperandFormat::RA:
            error = reg(ops.ra, "register", high);
            if (error.empty()) error = field(ops.addr, 0, 32767, "delay address", low);
            break;
        case OperandFormat::CA:
            error = field(ops.coef, -128, 127, "coefficient", high);
            high &= 0xFFu;
            if (error.empty()) error = field(ops.addr, 0, 32767, "delay address", low);
            break;
        case OperandFormat::RM:
            error = reg(ops.ra, "register", high);
            if (error.empty()) error = field(ops.index, 0, 127, "memory register", low);
            break;
        case OperandFormat::RK:
            error = reg(ops.ra, "register", high);
            if (error.empty()) error = field(ops.index, 0, 63, "SFR number", low);
            break;
        case OperandFormat::RJ:
            error = reg(ops.ra, "register", high);
            if (error.empty()) error = field(ops.index, 0, 4095, "jump offset", low);
            break;
        case OperandFormat::J: error = field(ops.index, 0, 4095, "jump offset", low); break;
        case OperandFormat::LfoRead: {
            unsigned sel = 0, neg = 0;
            error = field(ops.select, 0, 7, "LFO output", sel);
            if (error.empty()) error = field(ops.option, 0, 1, "negate flag", neg);
            if (error.empty()) error = field(ops.addr, 0, 32767, "delay address", low);
            high = sel | (neg << 3);
            break;
        }
        case OperandFormat::RampRead: {
            unsigned ramp = 0, size = 0;
            error = field(ops.select, 0, 1, "ramp", ramp);
            if (error.empty()) error = field(ops.option, 0, 3, "window size", size);
            if (error.empty()) error = field(ops.addr, 0, 32767, "delay address", low);
            high = ramp | (size << 2);
            break;
        }
        case OperandFormat::UserOut: {
            unsigned user = 0, n = 0;
            error = reg(ops.ra, "register", high);
            if (error.empty()) error = field(ops.select, 0, 1, "user output", user);
            if (error.empty()) error = field(ops.rb, 0, 31, "bit number", n);
            low = (user << 5) | n;
            break;
        }
    }
    if (!error.empty()) return {0, std::string(info->mnemonic) + ": " + error};
    return {makeWord(opcode, high, low), {}};
}

}  // namespace fxcore
