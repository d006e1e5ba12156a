// Builds program-image HEX text for tests: record lines with their checksums,
// sections laid out the way the assembler writes them (little-endian words, then
// the 16-bit byte sum) and the 48-byte SFR block from named fields. Everything is
// computed here, independently of the loader.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace hextest {

using Bytes = std::vector<uint8_t>;

inline constexpr unsigned kMreg = 0;
inline constexpr unsigned kCreg = 2048;
inline constexpr unsigned kSfr = 4096;
inline constexpr unsigned kPrg = 6144;

// One record line, ":" through the checksum, upper-case digits.
inline std::string record(unsigned type, unsigned address, const Bytes& data) {
    std::string line = ":";
    unsigned sum = 0;
    auto put = [&](unsigned byte) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", byte & 0xFFu);
        line += digits;
        sum += byte & 0xFFu;
    };
    put(static_cast<unsigned>(data.size()));
    put(address >> 8);
    put(address);
    put(type);
    for (uint8_t b : data) put(b);
    put(0x100u - (sum & 0xFFu));
    return line;
}

inline const std::string kEof = ":00000001FF";

inline void putLE(Bytes& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline uint16_t byteSum(const Bytes& bytes) {
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    return static_cast<uint16_t>(sum);
}

// `bytes` followed by their 16-bit sum; `checksumError` is added to the sum to
// make a section whose checksum is wrong.
inline Bytes withChecksum(Bytes bytes, int checksumError = 0) {
    const auto sum = static_cast<uint16_t>(byteSum(bytes) + checksumError);
    putLE(bytes, sum, 2);
    return bytes;
}

inline Bytes wordBytes(const std::vector<uint32_t>& words) {
    Bytes out;
    for (uint32_t w : words) putLE(out, w, 4);
    return out;
}

inline Bytes wordSection(const std::vector<uint32_t>& words, int checksumError = 0) {
    return withChecksum(wordBytes(words), checksumError);
}

// The SFR block by field; bytes() gives the 48 bytes without the checksum.
struct SfrBlock {
    uint32_t potShifts = 0;  // six 5-bit fields from bit 0
    int32_t lfoRate[4] = {};
    int32_t rampRate[2] = {};
    int32_t tapMaximum = 0;
    int32_t tapLast = 0;
    uint16_t tapHold = 0, tapDebounce = 0, switchDebounce = 0, spare0 = 0, spare1 = 0;
    uint8_t userBits = 0;
    uint8_t unused = 0;

    Bytes bytes() const {
        Bytes b;
        putLE(b, potShifts, 4);
        for (int32_t r : lfoRate) putLE(b, static_cast<uint32_t>(r), 4);
        for (int32_t r : rampRate) putLE(b, static_cast<uint32_t>(r), 4);
        putLE(b, static_cast<uint32_t>(tapMaximum), 4);
        putLE(b, static_cast<uint32_t>(tapLast), 4);
        for (uint16_t v : {tapHold, tapDebounce, switchDebounce, spare0, spare1}) putLE(b, v, 2);
        b.push_back(userBits);
        b.push_back(unused);
        return b;
    }
};

// HEX text as a list of lines joined by one line end.
class Hex {
public:
    // Type-0 records carrying `bytes` from a 16-bit address, `perRecord` per record.
    Hex& data(unsigned address, const Bytes& bytes, size_t perRecord = 16) {
        for (size_t i = 0; i < bytes.size(); i += perRecord) {
            const size_t n = std::min(perRecord, bytes.size() - i);
            const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(i);
            lines_.push_back(record(0, address + static_cast<unsigned>(i), Bytes(first, first + static_cast<std::ptrdiff_t>(n))));
        }
        return *this;
    }
    Hex& rec(unsigned type, unsigned address, const Bytes& bytes) { return line(record(type, address, bytes)); }
    Hex& line(const std::string& raw) {
        lines_.push_back(raw);
        return *this;
    }
    Hex& eof() { return line(kEof); }

    size_t lineCount() const { return lines_.size(); }
    std::string text(const std::string& lineEnd = "\n") const {
        std::string out;
        for (const auto& l : lines_) out += l + lineEnd;
        return out;
    }

private:
    std::vector<std::string> lines_;
};

// A whole image: each present section with a correct checksum.
struct Parts {
    std::vector<uint32_t> mreg = {};
    std::vector<uint32_t> creg = {};
    std::optional<SfrBlock> sfr = {};
    std::vector<uint32_t> prg = {};
};

inline Hex sectionsHex(const Parts& p, size_t perRecord = 16) {
    Hex h;
    if (!p.mreg.empty()) h.data(kMreg, wordSection(p.mreg), perRecord);
    if (!p.creg.empty()) h.data(kCreg, wordSection(p.creg), perRecord);
    if (p.sfr) h.data(kSfr, withChecksum(p.sfr->bytes()), perRecord);
    if (!p.prg.empty()) h.data(kPrg, wordSection(p.prg), perRecord);
    return h;
}

inline std::string imageText(const Parts& p, size_t perRecord = 16, const std::string& lineEnd = "\n") {
    return sectionsHex(p, perRecord).eof().text(lineEnd);
}

}  // namespace hextest
