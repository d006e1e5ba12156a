// Numbers: literal forms, constants, and the exact scaling of fractions to each
// field, rounding halves up.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "fxasm/numbers.h"

namespace fxasm {
namespace {

Parsed<int64_t> valueIn(const std::string& text, const NumberField& field, const Constants& constants = {}) {
    const Parsed<Literal> literal = parseNumber(text, constants);
    if (!literal.ok()) return failure<int64_t>(literal.error);
    return fieldValue(literal.value, field);
}

int64_t ok(const std::string& text, const NumberField& field, const Constants& constants = {}) {
    const Parsed<int64_t> v = valueIn(text, field, constants);
    EXPECT_TRUE(v.ok()) << text << ": " << v.error;
    return v.value;
}

std::string error(const std::string& text, const NumberField& field) {
    const Parsed<int64_t> v = valueIn(text, field);
    EXPECT_FALSE(v.ok()) << text << " was accepted as " << v.value;
    return v.error;
}

TEST(AsmNumbers, IntegersInDecimalAndHex) {
    EXPECT_EQ(ok("123", kWord32), 123);
    EXPECT_EQ(ok("-5", kWord32), -5);
    EXPECT_EQ(ok("007", kWord32), 7);
    EXPECT_EQ(ok("0x1F", kWord32), 31);
    EXPECT_EQ(ok("0Xff", kWord32), 255);
    EXPECT_EQ(ok("-0x10", kWord32), -16);
    EXPECT_EQ(ok("0xFFFFFFFF", kWord32), 4294967295);
    EXPECT_EQ(ok("-2147483648", kWord32), -2147483648);
}

TEST(AsmNumbers, MalformedTextIsRejected) {
    for (const char* text : {"", "-", "12ab", "0x", "0x1G", "1.", "1.2.3", "+5", "--5", "1e3", "0x1.8"})
        EXPECT_FALSE(parseNumber(text, {}).ok()) << text;
    EXPECT_NE(parseNumber(".75", {}).error.find("0.75"), std::string::npos);
    EXPECT_NE(parseNumber("99999999999999999999", {}).error.find("too large"), std::string::npos);
    EXPECT_NE(parseNumber("0x1FFFFFFFFFFFFFFFF", {}).error.find("too large"), std::string::npos);
}

TEST(AsmNumbers, IntegerRangesNameTheFieldAndTheLimits) {
    EXPECT_EQ(error("4294967296", kWord32), "32-bit value 4294967296 is out of range -2147483648..4294967295");
    EXPECT_FALSE(valueIn("-2147483649", kWord32).ok());
    EXPECT_FALSE(valueIn("-9223372036854775808", kWord32).ok());  // magnitude 2^63 exactly
    EXPECT_EQ(error("32768", kSignedImmediate), "signed immediate 32768 is out of range -32768..32767");
    EXPECT_EQ(ok("-32768", kUnsignedImmediate), -32768);  // the caller keeps the 16-bit pattern
    EXPECT_FALSE(valueIn("65536", kUnsignedImmediate).ok());
    EXPECT_EQ(ok("-128", kCoefficient), -128);
    EXPECT_FALSE(valueIn("128", kCoefficient).ok());
    EXPECT_EQ(error("0.5", integerField("delay address", 0, 32767)),
              "delay address takes an integer, not the fraction 0.5");
}

// floor(f * 2^k + 0.5), computed exactly from the decimal digits.
TEST(AsmNumbers, FractionsScaleToTheirFieldRoundingHalvesUp) {
    EXPECT_EQ(ok("0.5", kWord32), 0x40000000);
    EXPECT_EQ(ok("0.5", kSignedImmediate), 0x4000);
    EXPECT_EQ(ok("0.5", kCoefficient), 64);
    EXPECT_EQ(ok("-0.25", kWord32), -0x20000000);
    EXPECT_EQ(ok("-1.0", kWord32), -2147483648);
    EXPECT_EQ(ok("-1.0", kCoefficient), -128);
    EXPECT_EQ(ok("0.0", kWord32), 0);
    EXPECT_EQ(ok("0.9999999995", kWord32), 0x7FFFFFFF);  // 2147483646.93 rounds to the largest value
    EXPECT_EQ(ok("0.9921875", kCoefficient), 127);       // 127/128, the largest coefficient

    // Exact halves: 2^-8 is half a Q1.7 step, 2^-16 half a Q1.15 step, 2^-32 half a Q1.31 step.
    EXPECT_EQ(ok("0.00390625", kCoefficient), 1);    // 0.5 -> 1
    EXPECT_EQ(ok("-0.00390625", kCoefficient), 0);   // -0.5 -> 0
    EXPECT_EQ(ok("0.01171875", kCoefficient), 2);    // 1.5 -> 2
    EXPECT_EQ(ok("-0.01171875", kCoefficient), -1);  // -1.5 -> -1
    EXPECT_EQ(ok("0.0000152587890625", kSignedImmediate), 1);
    EXPECT_EQ(ok("-0.0000152587890625", kSignedImmediate), 0);
    EXPECT_EQ(ok("0.00000000023283064365386962890625", kWord32), 1);
    EXPECT_EQ(ok("-0.00000000023283064365386962890625", kWord32), 0);
    // Just past a half rounds away from it on both sides.
    EXPECT_EQ(ok("-0.0039062501", kCoefficient), -1);
    EXPECT_EQ(ok("0.0039062499", kCoefficient), 0);
}

TEST(AsmNumbers, FractionsOutsideTheirRangeAreErrors) {
    EXPECT_NE(error("1.0", kWord32).find("Q1.31"), std::string::npos);
    EXPECT_FALSE(valueIn("1.0", kSignedImmediate).ok());
    EXPECT_FALSE(valueIn("-1.0000000001", kWord32).ok());
    EXPECT_FALSE(valueIn("2.5", kWord32).ok());
    EXPECT_FALSE(valueIn("-1.5", kCoefficient).ok());
    EXPECT_FALSE(valueIn("0.995", kCoefficient).ok());  // above 127/128 though it would round to 127
    // Below 1.0 but rounding up to it.
    EXPECT_NE(error("0.99999999999", kWord32).find("rounds up"), std::string::npos);
    EXPECT_FALSE(valueIn("0.99999", kSignedImmediate).ok());
}

TEST(AsmNumbers, ConstantsStandForTheirLiteralAndCanBeNegated) {
    Constants constants;
    constants["HALF"] = parseNumber("0.5", {}).value;
    constants["MINUS_TEN"] = parseNumber("-10", {}).value;
    EXPECT_EQ(ok("HALF", kSignedImmediate, constants), 0x4000);
    EXPECT_EQ(ok("-HALF", kWord32, constants), -0x40000000);
    EXPECT_EQ(ok("-MINUS_TEN", kWord32, constants), 10);
    EXPECT_FALSE(parseNumber("half", constants).ok());  // names are case-sensitive
    EXPECT_NE(parseNumber("NOPE", constants).error.find("NOPE"), std::string::npos);
    EXPECT_EQ(valueIn("MINUS_TEN", integerField("delay address", 0, 32767), constants).error,
              "delay address MINUS_TEN (-10) is out of range 0..32767");
}

}  // namespace
}  // namespace fxasm
