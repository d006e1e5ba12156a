// Numbers in assembly source: literals, named constants, and their conversion to
// the field an operand or preset lands in.
//
// A literal stays exact until its field is known, because a fraction's scale
// depends on the field: 0.5 is 0x40000000 as a 32-bit value, 0x4000 as a 16-bit
// immediate and 64 as an 8-bit coefficient.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "fxasm/parsed.h"

namespace fxasm {

struct Literal {
    std::string text;       // as written, for messages
    bool negative = false;
    bool fraction = false;  // written with a decimal point
    uint64_t whole = 0;     // the integer's magnitude, or the part before the point
    std::string digits;     // the digits after the point (fractions only)
};

// Named constants (.equ), case-sensitive.
using Constants = std::map<std::string, Literal, std::less<>>;

// Decimal (123, -5), hex (0x1F, -0x10), fraction (0.5, -0.25), or a constant's
// name, optionally negated (-NAME).
Parsed<Literal> parseNumber(std::string_view text, const Constants& constants);

// What a numeric field accepts. Integers must lie in lo..hi. With fractionBits k
// above 0 a fraction f is accepted too and becomes floor(f * 2^k + 0.5), which must
// fit in k + 1 signed bits; f itself must lie in [-1, 1), or in [-1, 1 - 2^-k]
// when the field's largest step is its upper limit.
enum class FractionLimit { BelowOne, LargestStep };
struct NumberField {
    std::string_view what;  // names the field in messages
    int64_t lo = 0;
    int64_t hi = 0;
    int fractionBits = 0;  // 0: integers only
    FractionLimit limit = FractionLimit::BelowOne;
};

// 32-bit values (.mreg, .creg, 32-bit .sfr fields): the integer is the bit pattern.
inline constexpr NumberField kWord32{"32-bit value", -2147483648LL, 4294967295LL, 31};
inline constexpr NumberField kSignedImmediate{"signed immediate", -32768, 32767, 15};
// Negative integers are taken as their 16-bit pattern.
inline constexpr NumberField kUnsignedImmediate{"unsigned immediate", -32768, 65535, 15};
inline constexpr NumberField kCoefficient{"coefficient", -128, 127, 7, FractionLimit::LargestStep};

inline constexpr NumberField integerField(std::string_view what, int64_t lo, int64_t hi) {
    return NumberField{what, lo, hi, 0};
}

// The literal's value in the field: the integer, or the scaled fraction.
Parsed<int64_t> fieldValue(const Literal& literal, const NumberField& field);

}  // namespace fxasm
