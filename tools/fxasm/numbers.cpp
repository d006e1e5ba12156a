#include "fxasm/numbers.h"

#include <cctype>
#include <cstdio>
#include <limits>

namespace fxasm {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }

int hexDigit(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Accumulates one digit; false when the value no longer fits in 64 bits.
bool accumulate(uint64_t& value, unsigned base, unsigned digit) {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    if (value > (kMax - digit) / base) return false;
    value = value * base + digit;
    return true;
}

Parsed<Literal> parseHex(std::string_view text, std::string_view digits, Literal literal) {
    if (digits.empty()) return failure<Literal>("'" + std::string(text) + "' has no hex digits");
    for (char c : digits) {
        const int d = hexDigit(c);
        if (d < 0) return failure<Literal>("'" + std::string(text) + "' is not a number");
        if (!accumulate(literal.whole, 16, static_cast<unsigned>(d)))
            return failure<Literal>("number " + std::string(text) + " is too large");
    }
    return {literal, {}};
}

Parsed<Literal> parseDecimal(std::string_view text, std::string_view body, Literal literal) {
    size_t i = 0;
    for (; i < body.size() && isDigit(body[i]); ++i)
        if (!accumulate(literal.whole, 10, static_cast<unsigned>(body[i] - '0')))
            return failure<Literal>("number " + std::string(text) + " is too large");
    if (i < body.size() && body[i] == '.') {
        literal.fraction = true;
        literal.digits = std::string(body.substr(i + 1));
        if (literal.digits.empty())
            return failure<Literal>("'" + std::string(text) + "' needs digits after the decimal point");
        for (char c : literal.digits)
            if (!isDigit(c)) return failure<Literal>("'" + std::string(text) + "' is not a number");
        return {literal, {}};
    }
    if (i < body.size()) return failure<Literal>("'" + std::string(text) + "' is not a number");
    return {literal, {}};
}

// |f| * 2^bits split into its whole part and where the rest lies against one half.
enum class Rest { Zero, BelowHalf, Half, AboveHalf };
struct Scaled {
    uint64_t whole = 0;
    Rest rest = Rest::Zero;
};

// Exact: the decimal digits are doubled `bits` times, carries moving into the whole part.
Scaled scale(uint64_t whole, std::string digits, int bits) {
    Scaled s{whole, Rest::Zero};
    for (int b = 0; b < bits; ++b) {
        unsigned carry = 0;
        for (size_t j = digits.size(); j-- > 0;) {
            const unsigned v = static_cast<unsigned>(digits[j] - '0') * 2 + carry;
            digits[j] = static_cast<char>('0' + v % 10);
            carry = v / 10;
        }
        s.whole = s.whole * 2 + carry;
    }
    const size_t firstNonZero = digits.find_first_not_of('0');
    if (firstNonZero == std::string::npos) return s;
    if (digits[0] < '5') {
        s.rest = Rest::BelowHalf;
    } else if (digits[0] > '5') {
        s.rest = Rest::AboveHalf;
    } else {
        s.rest = digits.find_first_not_of('0', 1) == std::string::npos ? Rest::Half : Rest::AboveHalf;
    }
    return s;
}

std::string rangeText(int64_t lo, int64_t hi) { return std::to_string(lo) + ".." + std::to_string(hi); }

std::string fractionRangeText(const NumberField& field) {
    const std::string q = "Q1." + std::to_string(field.fractionBits);
    if (field.limit == FractionLimit::LargestStep) {
        // 1 - 2^-k is exact in a double, and %.17g prints it exactly without trailing zeros.
        const double largest = 1.0 - 1.0 / static_cast<double>(int64_t{1} << field.fractionBits);
        char upper[32];
        std::snprintf(upper, sizeof upper, "%.17g", largest);
        return q + " fraction from -1.0 to " + upper;
    }
    return q + " fraction from -1.0 up to, not including, 1.0";
}

Parsed<int64_t> fractionValue(const Literal& literal, const NumberField& field) {
    const std::string& text = literal.text;
    if (field.fractionBits == 0)
        return failure<int64_t>(std::string(field.what) + " takes an integer, not the fraction " + text);
    const int k = field.fractionBits;
    const uint64_t one = uint64_t{1} << k;
    const std::string outOfRange =
        std::string(field.what) + " " + text + " is out of range: a " + fractionRangeText(field) + " is expected";
    if (literal.whole > 1) return failure<int64_t>(outOfRange);

    const Scaled s = scale(literal.whole, literal.digits, k);
    if (literal.negative) {
        if (s.whole > one || (s.whole == one && s.rest != Rest::Zero)) return failure<int64_t>(outOfRange);
        // floor(-x + 0.5): halves go up, toward zero.
        const uint64_t magnitude = s.whole + (s.rest == Rest::AboveHalf ? 1 : 0);
        if (magnitude > one) return failure<int64_t>(outOfRange);
        return {-static_cast<int64_t>(magnitude), {}};
    }
    const bool inRange = field.limit == FractionLimit::LargestStep
                             ? s.whole < one - 1 || (s.whole == one - 1 && s.rest == Rest::Zero)
                             : s.whole < one;
    if (!inRange) return failure<int64_t>(outOfRange);
    const uint64_t rounded = s.whole + (s.rest >= Rest::Half ? 1 : 0);
    if (rounded > one - 1)
        return failure<int64_t>(std::string(field.what) + " " + text + " rounds up to 1.0, beyond the largest Q1." +
                                std::to_string(k) + " value");
    return {static_cast<int64_t>(rounded), {}};
}

}  // namespace

Parsed<Literal> parseNumber(std::string_view text, const Constants& constants) {
    if (text.empty()) return failure<Literal>("a number is missing");
    Literal literal;
    literal.text = std::string(text);
    std::string_view body = text;
    if (body.front() == '-') {
        literal.negative = true;
        body.remove_prefix(1);
    }
    if (body.empty()) return failure<Literal>("'" + literal.text + "' is not a number");

    if (isNameStart(body.front())) {
        const auto it = constants.find(body);
        if (it == constants.end())
            return failure<Literal>("'" + std::string(body) +
                                    "' is not a number or a constant defined by an earlier .equ");
        Literal named = it->second;
        named.text = literal.text;
        if (literal.negative) named.negative = !named.negative;
        return {named, {}};
    }
    if (body.front() == '.')
        return failure<Literal>("write a digit before the decimal point: 0" + std::string(body) + ", not " +
                                literal.text);
    if (body.size() >= 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X'))
        return parseHex(text, body.substr(2), literal);
    if (!isDigit(body.front())) return failure<Literal>("'" + literal.text + "' is not a number");
    return parseDecimal(text, body, literal);
}

Parsed<int64_t> fieldValue(const Literal& literal, const NumberField& field) {
    if (literal.fraction) return fractionValue(literal, field);
    const uint64_t limit = uint64_t{1} << 63;
    const bool fits = literal.negative ? literal.whole <= limit : literal.whole < limit;
    const int64_t value = !fits ? 0
                          : literal.negative ? static_cast<int64_t>(0 - literal.whole)
                                             : static_cast<int64_t>(literal.whole);
    if (!fits || value < field.lo || value > field.hi) {
        std::string shown = literal.text;
        if (fits && shown != std::to_string(value)) shown += " (" + std::to_string(value) + ")";
        return failure<int64_t>(std::string(field.what) + " " + shown + " is out of range " +
                                rangeText(field.lo, field.hi));
    }
    return {value, {}};
}

}  // namespace fxasm
