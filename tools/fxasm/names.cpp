#include "fxasm/names.h"

#include <algorithm>
#include <cctype>
#include <span>

#include "fxcore/sfr_map.h"

namespace fxasm {
namespace {

// Names prefix + i + suffix for i in 0..count-1, standing for first + i;
// a group with count 0 is the single name prefix + suffix, standing for first.
struct NameGroup {
    std::string_view prefix;
    std::string_view suffix;
    int first = 0;
    int count = 0;
};

constexpr NameGroup kRegisterSlots[] = {
    {"R", "", 0, 16}, {"ACC32", "", 16}, {"FLAGS", "", 17}, {"MREG", "", 18, 14},
};
constexpr NameGroup kCoreRegisters[] = {{"R", "", 0, 16}};
constexpr NameGroup kMemoryRegisters[] = {{"MREG", "", 0, 128}};
constexpr NameGroup kUserOutputs[] = {{"USER", "", 0, 2}};

bool startsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool endsWithIgnoreCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && equalsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

// A decimal index without leading zeros ("0", "12"; not "012"), below count.
std::optional<int> index(std::string_view digits, int count) {
    if (digits.empty() || digits.size() > 3 || (digits.size() > 1 && digits[0] == '0')) return std::nullopt;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value >= count) return std::nullopt;
    return value;
}

std::optional<int> lookup(std::span<const NameGroup> groups, std::string_view name) {
    for (const NameGroup& g : groups) {
        if (g.count == 0) {
            if (name.size() == g.prefix.size() + g.suffix.size() && startsWithIgnoreCase(name, g.prefix) &&
                endsWithIgnoreCase(name, g.suffix))
                return g.first;
            continue;
        }
        if (name.size() <= g.prefix.size() + g.suffix.size() || !startsWithIgnoreCase(name, g.prefix) ||
            !endsWithIgnoreCase(name, g.suffix))
            continue;
        const std::string_view middle =
            name.substr(g.prefix.size(), name.size() - g.prefix.size() - g.suffix.size());
        if (const auto i = index(middle, g.count)) return g.first + *i;
    }
    return std::nullopt;
}

// The SFR of this name when it lies in first..last, counted from first. The LFO
// outputs and the ramps go by the names of the SFRs that hold them.
std::optional<int> sfrInRange(std::string_view name, fxcore::Sfr first, fxcore::Sfr last) {
    const auto sfr = sfrNumber(name);
    if (!sfr || *sfr < first || *sfr > last) return std::nullopt;
    return *sfr - first;
}

}  // namespace

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

bool isIdentifier(std::string_view text) {
    if (text.empty()) return false;
    const auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    const unsigned char first = static_cast<unsigned char>(text.front());
    return (std::isalpha(first) || first == '_') && std::all_of(text.begin(), text.end(), word);
}

std::optional<int> registerSlot(std::string_view name) { return lookup(kRegisterSlots, name); }
std::optional<int> coreRegister(std::string_view name) { return lookup(kCoreRegisters, name); }
std::optional<int> memoryRegister(std::string_view name) { return lookup(kMemoryRegisters, name); }
std::optional<int> sfrNumber(std::string_view name) {
    for (const fxcore::SfrName& s : fxcore::kSfrNames)
        if (equalsIgnoreCase(s.name, name)) return s.sfr;
    return std::nullopt;
}
std::optional<int> lfoOutput(std::string_view name) {
    return sfrInRange(name, fxcore::LFO0_SIN, fxcore::LFO3_COS);
}
std::optional<int> rampNumber(std::string_view name) { return sfrInRange(name, fxcore::RAMP0, fxcore::RAMP1); }
std::optional<int> userOutput(std::string_view name) { return lookup(kUserOutputs, name); }

bool isReservedName(std::string_view name) {
    return registerSlot(name) || memoryRegister(name) || sfrNumber(name) || userOutput(name);
}

}  // namespace fxasm
