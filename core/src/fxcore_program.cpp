// Program images from Intel HEX text: the records fill a HEX address space, which
// is then read section by section into the presets and the program words.
#include "fxcore/fxcore_program.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "hex_records.h"

namespace fxcore {

namespace {

// The HEX address space of one load; bytes never written read as 0.
struct Image {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(FXCoreProgram::kAddressSpace, 0);
    std::vector<bool> written = std::vector<bool>(FXCoreProgram::kAddressSpace, false);

    uint32_t u32(uint32_t at) const {
        return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
               (static_cast<uint32_t>(bytes[at + 2]) << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
    }
    uint16_t u16(uint32_t at) const { return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8)); }

    // Section length: highest written address in [start, end) minus start plus 1.
    std::optional<uint32_t> sectionLength(uint32_t start, uint32_t end) const {
        for (uint32_t a = end; a > start; --a)
            if (written[a - 1]) return a - start;
        return std::nullopt;
    }

    // The section's checksum at start + 4u matches the sum of the 4u bytes before it.
    bool checksumMatches(uint32_t start, uint32_t usedBytes) const {
        unsigned sum = 0;
        for (uint32_t i = 0; i < usedBytes; ++i) sum += bytes[start + i];
        return (sum & 0xFFFFu) == u16(start + usedBytes);
    }

    void readWords(uint32_t start, uint32_t count, int32_t* out) const {
        for (uint32_t k = 0; k < count; ++k) out[k] = static_cast<int32_t>(u32(start + 4 * k));
    }
};

// Words a word section of length L holds: (L - 2) / 4, 0 when L is below 2.
uint32_t wordsIn(uint32_t length) { return length >= 2 ? (length - 2) / 4 : 0; }

void takeSfrBlock(const Image& image, FXCoreCore::Presets& p) {
    const uint32_t base = FXCoreProgram::kSfrBase;
    const uint32_t shifts = image.u32(base);
    for (int k = 0; k < 6; ++k) p.sfr[POT0_SHIFT + k] = static_cast<int32_t>((shifts >> (5 * k)) & 31u);
    for (int i = 0; i < 4; ++i) p.sfr[LFO0_RATE + i] = static_cast<int32_t>(image.u32(base + 4 + 4 * i));
    p.sfr[RAMP0_RATE] = static_cast<int32_t>(image.u32(base + 20));
    p.sfr[RAMP1_RATE] = static_cast<int32_t>(image.u32(base + 24));
    p.sfr[TAP_MAX] = static_cast<int32_t>(image.u32(base + 28));
    p.sfr[TAP_INTERVAL] = static_cast<int32_t>(image.u32(base + 32));
    p.tapHoldSamples = image.u16(base + 36);
    p.tapDebounceSamples = image.u16(base + 38);
    p.switchDebounceSamples = image.u16(base + 40);
    p.spareTiming0 = image.u16(base + 42);
    p.spareTiming1 = image.u16(base + 44);
    const uint8_t users = image.bytes[base + 46];
    p.userInit[0] = users & 1u;
    p.userInit[1] = (users >> 1) & 1u;
}

// The file name after the last '/' or '\', cut before its last '.'.
std::string nameFromPath(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = base.rfind('.');
    if (dot != std::string::npos) base.resize(dot);
    return base;
}

}  // namespace

FXCoreCore::Presets FXCoreProgram::defaultPresets() {
    FXCoreCore::Presets p{};
    for (int k = POT0_SHIFT; k <= POT5_SHIFT; ++k) p.sfr[k] = 10;
    p.sfr[TAP_MAX] = 32767;
    p.tapHoldSamples = 36000;
    p.tapDebounceSamples = 480;
    p.switchDebounceSamples = 480;
    p.spareTiming0 = 2400;
    p.spareTiming1 = 960;
    return p;
}

FXCoreProgram::Result FXCoreProgram::loadFromText(const std::string& text) {
    Result result;
    words.clear();
    presets = defaultPresets();

    Image image;
    uint32_t upper = 0;
    bool endOfFile = false;
    hex::Record record;
    hex::forEachLine(text, [&](int number, std::string_view raw) {
        const std::string_view line = hex::trim(raw);
        if (line.empty()) return true;
        const std::string problem = hex::parseRecord(line, record);
        if (!problem.empty()) {
            result.error = "Line " + std::to_string(number) + problem;
            return false;
        }
        switch (record.type) {
            case 0:
                for (size_t i = 0; i < record.data.size(); ++i) {
                    const uint32_t at = upper + record.address + static_cast<uint32_t>(i);  // modulo 2^32
                    if (at < kAddressSpace) {
                        image.bytes[at] = record.data[i];
                        image.written[at] = true;
                    }
                }
                break;
            case 1: endOfFile = true; return false;
            case 2:
                if (record.count == 2) upper = (record.data[0] * 256u + record.data[1]) * 16u;
                break;
            case 4:
                if (record.count == 2) upper = (record.data[0] * 256u + record.data[1]) << 16;
                break;
            default: break;  // checked, then ignored
        }
        return true;
    });
    if (!result.error.empty()) return result;

    if (!endOfFile) result.warnings.push_back("No end-of-file record; the HEX may be truncated");

    if (const auto length = image.sectionLength(kMregBase, kCregBase); length && *length > 1) {
        const uint32_t used = std::min<uint32_t>(wordsIn(*length), FXCoreCore::kMemoryRegisters);
        image.readWords(kMregBase, used, presets.mreg);
        if (!image.checksumMatches(kMregBase, 4 * used)) result.warnings.push_back("MREG section checksum mismatch");
    }

    if (const auto length = image.sectionLength(kCregBase, kSfrBase)) {
        const uint32_t held = wordsIn(*length);
        const uint32_t used = std::min<uint32_t>(held, FXCoreCore::kCoreRegisters);
        image.readWords(kCregBase, used, presets.creg);
        if (held < 16)
            result.warnings.push_back("CREG section holds " + std::to_string(held) + " registers, expected 16");
        if (*length >= 2 && !image.checksumMatches(kCregBase, 4 * used))
            result.warnings.push_back("CREG section checksum mismatch");
    }

    if (const auto length = image.sectionLength(kSfrBase, kPrgBase)) {
        if (*length < kSfrBlockBytes) {
            result.warnings.push_back("SFR section is shorter than the fixed 48 bytes; using defaults");
        } else {
            takeSfrBlock(image, presets);
            if (*length >= kSfrBlockBytes + 2 && !image.checksumMatches(kSfrBase, kSfrBlockBytes))
                result.warnings.push_back("SFR section checksum mismatch");
        }
    }

    const auto length = image.sectionLength(kPrgBase, kAddressSpace);
    if (!length) {
        result.error = "No program section at HEX address 6144; this does not look like an assembled FXCore program";
        return result;
    }
    if (*length <= 5) {
        result.error = "Program section is empty";
        return result;
    }
    const uint32_t used = std::min<uint32_t>(wordsIn(*length), FXCoreCore::kProgramWords);
    words.resize(used);
    for (uint32_t k = 0; k < used; ++k) words[k] = image.u32(kPrgBase + 4 * k);
    if (!image.checksumMatches(kPrgBase, 4 * used)) result.warnings.push_back("PRG section checksum mismatch");
    result.ok = true;
    return result;
}

FXCoreProgram::Result FXCoreProgram::loadFromFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        Result failed;
        failed.error = "Could not open " + path;
        return failed;
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    Result result = loadFromText(contents.str());
    if (result.ok && name.empty()) name = nameFromPath(path);
    return result;
}

bool FXCoreProgram::applyTo(FXCoreCore& core) const {
    core.setPresets(presets);
    return core.setProgram(words.data(), words.size());
}

}  // namespace fxcore
