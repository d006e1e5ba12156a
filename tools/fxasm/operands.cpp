#include "fxasm/operands.h"

#include <cstdint>
#include <string>

#include "fxasm/names.h"
#include "fxasm/statement.h"

namespace fxasm {
namespace {

using F = fxcore::OperandFormat;

struct FormatSyntax {
    F format;
    std::string_view syntax;
    size_t count;
};

constexpr FormatSyntax kSyntax[] = {
    {F::None, "", 0},
    {F::R, "ra", 1},
    {F::RR, "ra, rb", 2},
    {F::RN, "ra, n", 2},
    {F::RS16, "ra, s16", 2},
    {F::RU16, "ra, u16", 2},
    {F::RA, "ra, address", 2},
    {F::CA, "coefficient, address", 2},
    {F::RM, "ra, mreg", 2},
    {F::RK, "ra, sfr", 2},
    {F::RJ, "ra, label", 2},
    {F::J, "label", 1},
    {F::LfoRead, "[-]LFOn_SIN|LFOn_COS, address", 2},
    {F::RampRead, "RAMP0|RAMP1, 512|1024|2048|4096, address", 3},
    {F::UserOut, "ra, USER0|USER1, n", 3},
};

const FormatSyntax& syntaxOf(F format) {
    for (const FormatSyntax& s : kSyntax)
        if (s.format == format) return s;
    return kSyntax[0];
}

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// Collects operand values; the first failure is kept and later steps do nothing.
class OperandReader {
public:
    explicit OperandReader(const Constants& constants) : constants_(constants) {}

    void reg(std::string_view text, int& out) {
        if (!error_.empty()) return;
        if (const auto slot = registerSlot(text)) {
            out = *slot;
        } else if (memoryRegister(text)) {
            error_ = quoted(text) + " has no register slot: only MREG0-MREG13 can be a register operand";
        } else {
            error_ = quoted(text) + " is not a register (R0-R15, ACC32, FLAGS, MREG0-MREG13)";
        }
    }

    void number(std::string_view text, const NumberField& field, int& out) {
        if (!error_.empty()) return;
        const Parsed<Literal> literal = parseNumber(text, constants_);
        if (!literal.ok()) {
            error_ = literal.error;
            return;
        }
        const Parsed<int64_t> value = fieldValue(literal.value, field);
        if (!value.ok()) {
            error_ = value.error;
            return;
        }
        out = static_cast<int>(value.value);
    }

    // A name from `names`, else an integer of `field`.
    template <class Lookup>
    void nameOrNumber(std::string_view text, Lookup names, const NumberField& field, int& out) {
        if (!error_.empty()) return;
        if (const auto value = names(text)) {
            out = *value;
            return;
        }
        number(text, field, out);
    }

    template <class Lookup>
    void name(std::string_view text, Lookup names, std::string_view expected, int& out) {
        if (!error_.empty()) return;
        if (const auto value = names(text)) {
            out = *value;
        } else {
            error_ = quoted(text) + " is not " + std::string(expected);
        }
    }

    void label(std::string_view text, std::string_view& out) {
        if (!error_.empty()) return;
        if (isIdentifier(text)) {
            out = text;
        } else {
            error_ = quoted(text) + " is not a label name";
        }
    }

    void lfo(std::string_view text, int& output, int& negate) {
        if (!error_.empty()) return;
        negate = !text.empty() && text.front() == '-' ? 1 : 0;
        name(trim(text.substr(static_cast<size_t>(negate))), lfoOutput, "an LFO output (LFO0_SIN ... LFO3_COS)",
             output);
    }

    void window(std::string_view text, int& sizeSelect) {
        int samples = 0;
        number(text, integerField("window", INT32_MIN, INT32_MAX), samples);
        if (!error_.empty()) return;
        for (int s = 0; s < 4; ++s)
            if (samples == 512 << s) {
                sizeSelect = s;
                return;
            }
        error_ = "window " + std::string(text) + " is not one of 512, 1024, 2048, 4096";
    }

    const std::string& error() const { return error_; }

private:
    const Constants& constants_;
    std::string error_;
};

}  // namespace

std::string_view operandSyntax(F format) { return syntaxOf(format).syntax; }
size_t operandCount(F format) { return syntaxOf(format).count; }

Parsed<InstructionOperands> parseOperands(F format, std::span<const std::string_view> operands,
                                          const Constants& constants) {
    const size_t expected = operandCount(format);
    if (operands.size() != expected) {
        std::string reason = "expects " + std::to_string(expected) + (expected == 1 ? " operand" : " operands");
        if (expected > 0) reason += " (" + std::string(operandSyntax(format)) + ")";
        return failure<InstructionOperands>(reason + ", found " + std::to_string(operands.size()));
    }
    for (size_t i = 0; i < operands.size(); ++i)
        if (operands[i].empty()) return failure<InstructionOperands>("operand " + std::to_string(i + 1) + " is missing");

    InstructionOperands result;
    fxcore::Operands& v = result.values;
    OperandReader read(constants);
    const auto op = [&](size_t i) { return operands[i]; };
    switch (format) {
        case F::None: break;
        case F::R: read.reg(op(0), v.ra); break;
        case F::RR:
            read.reg(op(0), v.ra);
            read.reg(op(1), v.rb);
            break;
        case F::RN:
            read.reg(op(0), v.ra);
            read.number(op(1), integerField("shift or bit number", 0, 31), v.rb);
            break;
        case F::RS16:
            read.reg(op(0), v.ra);
            read.number(op(1), kSignedImmediate, v.imm);
            break;
        case F::RU16:
            read.reg(op(0), v.ra);
            read.number(op(1), kUnsignedImmediate, v.imm);
            v.imm &= 0xFFFF;  // negative values and fractions are written as their 16-bit pattern
            break;
        case F::RA:
            read.reg(op(0), v.ra);
            read.number(op(1), integerField("delay address", 0, 32767), v.addr);
            break;
        case F::CA:
            read.number(op(0), kCoefficient, v.coef);
            read.number(op(1), integerField("delay address", 0, 32767), v.addr);
            break;
        case F::RM:
            read.reg(op(0), v.ra);
            read.nameOrNumber(op(1), memoryRegister, integerField("memory register", 0, 127), v.index);
            break;
        case F::RK:
            read.reg(op(0), v.ra);
            read.nameOrNumber(op(1), sfrNumber, integerField("SFR number", 0, 63), v.index);
            break;
        case F::RJ:
            read.reg(op(0), v.ra);
            read.label(op(1), result.jumpLabel);
            break;
        case F::J: read.label(op(0), result.jumpLabel); break;
        case F::LfoRead:
            read.lfo(op(0), v.select, v.option);
            read.number(op(1), integerField("delay address", 0, 32767), v.addr);
            break;
        case F::RampRead:
            read.name(op(0), rampNumber, "a ramp (RAMP0 or RAMP1)", v.select);
            read.window(op(1), v.option);
            read.number(op(2), integerField("delay address", 0, 32767), v.addr);
            break;
        case F::UserOut:
            read.reg(op(0), v.ra);
            read.name(op(1), userOutput, "a user output (USER0 or USER1)", v.select);
            read.number(op(2), integerField("bit number", 0, 31), v.rb);
            break;
    }
    if (!read.error().empty()) return failure<InstructionOperands>(read.error());
    return {result, {}};
}

}  // namespace fxasm
