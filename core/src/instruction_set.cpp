#include "fxcore/instruction_set.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace fxcore {
namespace {

using F = OperandFormat;

constexpr std::array<OpcodeInfo, 72> kOpcodes{{
    // Results in ACC32
    {0, "ABS", F::R},        {1, "CLRACC64", F::None}, {2, "ADDI", F::RS16},   {3, "ADD", F::RR},
    {4, "ADDS", F::RR},      {5, "ADDSH", F::RU16},    {6, "SUB", F::RR},      {7, "SUBS", F::RR},
    {8, "SLI", F::RN},       {9, "SL", F::RR},         {10, "SLSI", F::RN},    {11, "SLS", F::RR},
    {12, "SRLI", F::RN},     {13, "SRL", F::RR},       {14, "SRAI", F::RN},    {15, "SRA", F::RR},
    // Multiply-accumulate into ACC64
    {16, "MACRR", F::RR},    {17, "MACRI", F::RU16},   {18, "MACRD", F::RA},   {19, "MACCD", F::CA},
    {20, "MAC8RR", F::RR},   {21, "MAC8RI", F::RS16},  {22, "MAC8RD", F::RA},  {23, "MAC8CD", F::CA},
    {24, "MULRR", F::RR},    {25, "MULRI", F::RU16},   {26, "NEG", F::R},      {27, "LOG2", F::R},
    {28, "EXP2", F::R},
    // Register, memory-register and SFR moves
    {48, "MOV", F::RR},      {49, "LDM", F::RM},       {50, "RDSFR", F::RK},   {51, "STM", F::RM},
    {52, "WRSFR", F::RK},    {53, "LDMR", F::RR},
    // Accumulator and delay-memory moves
    {64, "RDACCH", F::R},    {65, "RDACCL", F::R},     {66, "WRACCH", F::R},   {67, "WRACCL", F::R},
    {68, "RDDEL", F::RA},    {69, "WRDEL", F::RA},     {70, "RDDELR", F::RR},  {71, "WRDELR", F::RR},
    {72, "RDDELA", F::RR},   {73, "WRDELA", F::RR},    {74, "RDACC8", F::R},   {75, "LDH", F::RU16},
    // Logic
    {80, "NOT", F::R},       {81, "OR", F::RR},        {82, "ORI", F::RU16},   {83, "AND", F::RR},
    {84, "ANDI", F::RU16},   {85, "XOR", F::RR},       {86, "XORI", F::RU16},
    // Forward jumps
    {87, "JGEZ", F::RJ},     {88, "JNEG", F::RJ},      {89, "JNZ", F::RJ},     {90, "JZ", F::RJ},
    {91, "JSIGN", F::RJ},    {92, "JMP", F::J},
    // Filter pairs, modulated reads, user outputs
    {96, "FRDC", F::CA},     {97, "FWRC", F::CA},      {98, "FRD", F::RA},     {99, "FWR", F::RA},
    {100, "FRDR", F::RR},    {101, "FWRR", F::RR},     {102, "FRDM", F::RM},   {103, "FWRM", F::RM},
    {104, "RDLFO", F::LfoRead}, {105, "RDRAMP", F::RampRead}, {106, "USER", F::UserOut},
    {107, "RDFRAC", F::RA},
}};

constexpr std::array<int8_t, 128> buildIndex() {
    std::array<int8_t, 128> index{};
    for (auto& i : index) i = -1;
    for (size_t i = 0; i < kOpcodes.size(); ++i) index[kOpcodes[i].opcode] = static_cast<int8_t>(i);
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
