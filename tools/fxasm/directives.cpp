#include "fxasm/directives.h"

#include <cctype>

#include "fxasm/names.h"
#include "fxasm/preset_fields.h"

namespace fxasm {
namespace {

std::string upper(std::string_view text) {
    std::string s(text);
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The value of a preset, as the field's bit pattern.
Parsed<int32_t> presetValue(std::string_view text, const NumberField& field, const AssemblyState& state) {
    const Parsed<Literal> literal = parseNumber(text, state.constants);
    if (!literal.ok()) return failure<int32_t>(literal.error);
    const Parsed<int64_t> value = fieldValue(literal.value, field);
    if (!value.ok()) return failure<int32_t>(value.error);
    return {static_cast<int32_t>(static_cast<uint32_t>(value.value)), {}};
}

// Records that `key` is set on `line`; the reason when it was set before.
std::string claimPreset(const std::string& key, int line, AssemblyState& state) {
    const auto [it, inserted] = state.presetSetAt.emplace(key, line);
    if (!inserted) return key + " is already set at line " + std::to_string(it->second);
    return {};
}

std::string equ(std::span<const std::string_view> operands, int line, AssemblyState& state) {
    if (std::string conflict = state.nameConflict(operands[0]); !conflict.empty()) return conflict;
    const Parsed<Literal> value = parseNumber(operands[1], state.constants);
    if (!value.ok()) return value.error;
    state.constants.emplace(std::string(operands[0]), value.value);
    state.definedAt.emplace(std::string(operands[0]), line);
    return {};
}

std::string mreg(std::span<const std::string_view> operands, int line, AssemblyState& state) {
    const Parsed<int32_t> index =
        presetValue(operands[0], integerField("memory register index", 0, 127), state);
    if (!index.ok()) return index.error;
    const Parsed<int32_t> value = presetValue(operands[1], kWord32, state);
    if (!value.ok()) return value.error;
    if (std::string taken = claimPreset("MREG" + std::to_string(index.value), line, state); !taken.empty())
        return taken;
    state.presets.mreg[index.value] = value.value;
    return {};
}

std::string creg(std::span<const std::string_view> operands, int line, AssemblyState& state) {
    const auto r = coreRegister(operands[0]);
    if (!r) return "'" + std::string(operands[0]) + "' is not a core register (R0-R15)";
    const Parsed<int32_t> value = presetValue(operands[1], kWord32, state);
    if (!value.ok()) return value.error;
    if (std::string taken = claimPreset("R" + std::to_string(*r), line, state); !taken.empty()) return taken;
    state.presets.creg[*r] = value.value;
    return {};
}

NumberField fieldRule(PresetWidth width) {
    switch (width) {
        case PresetWidth::Shift: return integerField("pot smoothing shift", 0, 31);
        case PresetWidth::Signed32: return kWord32;
        case PresetWidth::Unsigned16: return integerField("16-bit timing value", 0, 65535);
        case PresetWidth::Flag: break;
    }
    return integerField("user output start state", 0, 1);
}

std::string sfr(std::span<const std::string_view> operands, int line, AssemblyState& state) {
    const PresetField* field = findPresetField(operands[0]);
    if (!field) return "'" + std::string(operands[0]) + "' is not a field of the SFR preset block";
    const Parsed<int32_t> value = presetValue(operands[1], fieldRule(field->width), state);
    if (!value.ok()) return value.error;
    if (std::string taken = claimPreset(upper(field->name), line, state); !taken.empty()) return taken;
    field->target(state.presets) = value.value;
    return {};
}

struct Directive {
    std::string_view name;
    std::string_view syntax;
    std::string (*apply)(std::span<const std::string_view>, int, AssemblyState&);
};

constexpr Directive kDirectives[] = {
    {".equ", "NAME, value", equ},
    {".mreg", "index, value", mreg},
    {".creg", "Rn, value", creg},
    {".sfr", "FIELD, value", sfr},
};

}  // namespace

std::string applyDirective(std::string_view keyword, std::span<const std::string_view> operands, int line,
                           AssemblyState& state) {
    for (const Directive& d : kDirectives) {
        if (!equalsIgnoreCase(d.name, keyword)) continue;
        if (operands.size() != 2 || operands[0].empty() || operands[1].empty())
            return std::string(d.name) + " takes 2 operands (" + std::string(d.syntax) + ")";
        std::string error = d.apply(operands, line, state);
        return error.empty() ? error : std::string(d.name) + ": " + error;
    }
    return "unknown directive '" + std::string(keyword) + "'";
}

}  // namespace fxasm
