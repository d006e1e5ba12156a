#include "fxasm/hex_writer.h"

#include <algorithm>
#include <vector>

#include "fxasm/assembler.h"
#include "fxcore/fxcore_program.h"

namespace fxasm {
namespace {

using fxcore::FXCoreProgram;
using Presets = fxcore::FXCoreCore::Presets;
using enum fxcore::Sfr;

constexpr size_t kBytesPerRecord = 16;

void put16(std::vector<uint8_t>& bytes, uint32_t v) {
    bytes.push_back(static_cast<uint8_t>(v));
    bytes.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& bytes, uint32_t v) {
    put16(bytes, v & 0xFFFFu);
    put16(bytes, v >> 16);
}

void putSigned32(std::vector<uint8_t>& bytes, int32_t v) { put32(bytes, static_cast<uint32_t>(v)); }

// Closes a section: the sum of its bytes so far, modulo 65536.
void closeSection(std::vector<uint8_t>& bytes) {
    uint32_t sum = 0;
    for (uint8_t b : bytes) sum += b;
    put16(bytes, sum & 0xFFFFu);
}

template <class Word>
std::vector<uint8_t> wordSection(std::span<const Word> words) {
    std::vector<uint8_t> bytes;
    for (Word w : words) put32(bytes, static_cast<uint32_t>(w));
    closeSection(bytes);
    return bytes;
}

// The 48-byte SFR preset block and its checksum.
std::vector<uint8_t> sfrSection(const Presets& p) {
    std::vector<uint8_t> bytes;
    uint32_t shifts = 0;
    for (int i = 0; i < 6; ++i) shifts |= static_cast<uint32_t>(p.sfr[POT0_SHIFT + i]) << (5 * i);
    put32(bytes, shifts);
    for (fxcore::Sfr sfr : {LFO0_RATE, LFO1_RATE, LFO2_RATE, LFO3_RATE, RAMP0_RATE, RAMP1_RATE, TAP_MAX, TAP_INTERVAL})
        putSigned32(bytes, p.sfr[sfr]);
    for (int32_t timing :
         {p.tapHoldSamples, p.tapDebounceSamples, p.switchDebounceSamples, p.spareTiming0, p.spareTiming1})
        put16(bytes, static_cast<uint32_t>(timing));
    bytes.push_back(static_cast<uint8_t>(p.userInit[0] | (p.userInit[1] << 1)));
    bytes.push_back(0);
    closeSection(bytes);
    return bytes;
}

std::string validate(std::span<const uint32_t> words, const Presets& p) {
    if (words.empty()) return "the program has no words";
    if (words.size() > kMaxProgramWords)
        return "the program has " + std::to_string(words.size()) + " words; at most " +
               std::to_string(kMaxProgramWords) + " fit";
    for (int i = 0; i < 6; ++i) {
        const int32_t shift = p.sfr[POT0_SHIFT + i];
        if (shift < 0 || shift > 31)
            return "POT" + std::to_string(i) + " smoothing shift " + std::to_string(shift) + " is out of range 0..31";
    }
    const int32_t timings[] = {p.tapHoldSamples, p.tapDebounceSamples, p.switchDebounceSamples, p.spareTiming0,
                               p.spareTiming1};
    for (int32_t t : timings)
        if (t < 0 || t > 65535) return "timing value " + std::to_string(t) + " is out of range 0..65535";
    for (int i = 0; i < 2; ++i)
        if (p.userInit[i] != 0 && p.userInit[i] != 1)
            return "USER" + std::to_string(i) + " start state " + std::to_string(p.userInit[i]) + " is not 0 or 1";
    return {};
}

class RecordWriter {
public:
    void data(uint32_t address, const std::vector<uint8_t>& bytes) {
        for (size_t at = 0; at < bytes.size(); at += kBytesPerRecord) {
            const size_t n = std::min(kBytesPerRecord, bytes.size() - at);
            record(static_cast<uint16_t>(address + at), 0, {bytes.data() + at, n});
        }
    }
    void endOfFile() { record(0, 1, {}); }
    std::string take() { return std::move(text_); }

private:
    void record(uint16_t address, uint8_t type, std::span<const uint8_t> data) {
        uint8_t sum = 0;
        text_ += ':';
        const auto byte = [&](uint8_t b) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            text_ += kHex[b >> 4];
            text_ += kHex[b & 15];
            sum = static_cast<uint8_t>(sum + b);
        };
        byte(static_cast<uint8_t>(data.size()));
        byte(static_cast<uint8_t>(address >> 8));
        byte(static_cast<uint8_t>(address));
        byte(type);
        for (uint8_t b : data) byte(b);
        byte(static_cast<uint8_t>(0x100 - sum));
        text_ += '\n';
    }

    std::string text_;
};

}  // namespace

HexOutput writeHex(std::span<const uint32_t> words, const Presets& presets) {
    if (std::string error = validate(words, presets); !error.empty()) return {{}, std::move(error)};
    RecordWriter out;
    out.data(FXCoreProgram::kMregBase, wordSection(std::span<const int32_t>(presets.mreg)));
    out.data(FXCoreProgram::kCregBase, wordSection(std::span<const int32_t>(presets.creg)));
    out.data(FXCoreProgram::kSfrBase, sfrSection(presets));
    out.data(FXCoreProgram::kPrgBase, wordSection(words));
    out.endOfFile();
    return {out.take(), {}};
}

}  // namespace fxasm
