// The plug-in's state as one little-endian record:
//   "FXC1", version 2, count, count x {id u32, value f64}, custom name, custom HEX,
//   bank name (version 2 on); strings are a u32 length and that many bytes.
// A record is read completely into temporaries, and its custom program loaded,
// before anything is applied, so a cut-off or damaged record changes nothing.
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"

namespace fxcoreplug {

namespace {

constexpr uint32_t kMagic = 0x31435846;  // "FXC1"
constexpr uint32_t kVersion = 2;
constexpr uint32_t kMaxStringLength = 0x1000000;  // 16 MiB

bool writeAll(const clap_ostream* stream, const void* data, uint64_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const int64_t written = stream->write(stream, bytes, size);
        if (written <= 0) return false;
        const auto step = std::min<uint64_t>(static_cast<uint64_t>(written), size);
        bytes += step;
        size -= step;
    }
    return true;
}

bool readAll(const clap_istream* stream, void* data, uint64_t size) {
    auto* bytes = static_cast<uint8_t*>(data);
    while (size > 0) {
        const int64_t got = stream->read(stream, bytes, size);
        if (got <= 0) return false;
        const auto step = std::min<uint64_t>(static_cast<uint64_t>(got), size);
        bytes += step;
        size -= step;
    }
    return true;
}

// Little-endian encodings, independent of the machine's byte order.
bool writeU32(const clap_ostream* stream, uint32_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                          static_cast<uint8_t>(v >> 24)};
    return writeAll(stream, b, 4);
}

bool writeF64(const clap_ostream* stream, double value) {
    uint64_t v = 0;
    std::memcpy(&v, &value, 8);
    uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
    return writeAll(stream, b, 8);
}

bool writeStr(const clap_ostream* stream, const std::string& s) {
    return writeU32(stream, static_cast<uint32_t>(s.size())) && writeAll(stream, s.data(), s.size());
}

bool readU32(const clap_istream* stream, uint32_t& v) {
    uint8_t b[4];
    if (!readAll(stream, b, 4)) return false;
    v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
        (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

bool readF64(const clap_istream* stream, double& value) {
    uint8_t b[8];
    if (!readAll(stream, b, 8)) return false;
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(b[i]) << (8 * i);
    std::memcpy(&value, &v, 8);
    return true;
}

bool readStr(const clap_istream* stream, std::string& out) {
    uint32_t length = 0;
    if (!readU32(stream, length) || length > kMaxStringLength) return false;
    out.assign(length, '\0');
    return readAll(stream, out.data(), length);
}

struct Record {
    std::vector<std::pair<uint32_t, double>> pairs;
    std::string customName;
    std::string customHex;
    std::string bankName;
};

std::optional<Record> readRecord(const clap_istream* stream) {
    uint32_t magic = 0, version = 0, count = 0;
    if (!readU32(stream, magic) || magic != kMagic) return std::nullopt;
    if (!readU32(stream, version) || version > kVersion) return std::nullopt;
    if (!readU32(stream, count)) return std::nullopt;
    Record record;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id = 0;
        double value = 0.0;
        if (!readU32(stream, id) || !readF64(stream, value)) return std::nullopt;
        record.pairs.emplace_back(id, value);  // grows only as bytes actually arrive
    }
    if (!readStr(stream, record.customName) || !readStr(stream, record.customHex)) return std::nullopt;
    if (version >= 2 && !readStr(stream, record.bankName)) return std::nullopt;
    return record;
}

}  // namespace

bool FXCorePlugin::stateSave(const clap_ostream* stream) const {
    if (stream == nullptr || stream->write == nullptr) return false;
    const auto& defs = paramDefs();
    if (!writeU32(stream, kMagic) || !writeU32(stream, kVersion) ||
        !writeU32(stream, static_cast<uint32_t>(defs.size())))
        return false;
    for (const ParamDef& def : defs)
        if (!writeU32(stream, def.id) || !writeF64(stream, paramValue(def.id))) return false;
    const std::string bank = bankName(currentBank());  // empty when there are no banks
    return writeStr(stream, customName) && writeStr(stream, customHex) && writeStr(stream, bank);
}

bool FXCorePlugin::stateLoad(const clap_istream* stream) {
    if (stream == nullptr || stream->read == nullptr) return false;
    const std::optional<Record> record = readRecord(stream);
    if (!record) return false;
    // A custom program that no longer loads refuses the whole record: accepting it
    // would quietly leave the user with another program than the one saved.
    const bool withCustom = !record->customHex.empty();
    std::string error;
    if (withCustom && !prepareCustomHex(record->customHex, error)) return false;

    const std::array<double, kParamCount> before = valueSnapshot();
    for (const auto& [id, value] : record->pairs) storeParam(id, value);  // unknown ids and NaN are skipped

    if (withCustom) {
        // Installing selects "(loaded)" at Mode 0; the record's own selection wins.
        const double program = paramValue(param::kProgram);
        const double mode = paramValue(param::kMode);
        installPreparedCustom(record->customHex, record->customName);
        slotFor(param::kProgram)->store(program, std::memory_order_release);
        slotFor(param::kMode)->store(mode, std::memory_order_release);
    }
    if (!record->bankName.empty()) {
        for (int b = 0; b < bankCount(); ++b) {
            if (banks[static_cast<size_t>(b)].name != record->bankName) continue;
            slotFor(param::kProgram)->store(static_cast<double>(b), std::memory_order_release);
            break;
        }
    }
    requestReinstall();

    // The host shows values it read before the load until it is told to read them again.
    const clap_host_params* params = valueSnapshot() != before ? hostParams() : nullptr;
    if (params != nullptr && params->rescan != nullptr) params->rescan(host, CLAP_PARAM_RESCAN_VALUES);
    return true;
}

}  // namespace fxcoreplug
