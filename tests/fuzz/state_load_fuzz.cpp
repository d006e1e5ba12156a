// libFuzzer target for the state reader. Input layout: byte 0 is how many bytes the
// stream hands over per read (0: all that are asked for), byte 1 makes the read at
// position (byte 1 - 1) x 3 fail with -1 (0: no failure); the rest is the record.
// One plug-in takes every input, so custom programs and banks pile up across runs.
// A refused record changes nothing (the saved state is the same before and after);
// an accepted one leaves every value in its range (never NaN) and saves a record
// that loads again and, loaded once more, saves the very same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fxcoreplug/fxcore_plugin.h"

namespace {

using fxcoreplug::FXCorePlugin;
using Bytes = std::vector<uint8_t>;

void require(bool condition) {
    if (!condition) std::abort();
}

struct Source {
    clap_istream stream{};
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    uint64_t step = 0;
    size_t errorAt = SIZE_MAX;

    Source(const uint8_t* bytes, size_t length, uint64_t perRead, size_t failAt)
        : data(bytes), size(length), step(perRead), errorAt(failAt) {
        stream.ctx = this;
        stream.read = [](const clap_istream* s, void* buffer, uint64_t wanted) -> int64_t {
            auto& self = *static_cast<Source*>(s->ctx);
            if (self.pos >= self.errorAt) return -1;
            uint64_t n = wanted;
            if (self.step != 0 && n > self.step) n = self.step;
            if (n > self.size - self.pos) n = self.size - self.pos;
            if (n > self.errorAt - self.pos) n = self.errorAt - self.pos;
            if (n > 0) std::memcpy(buffer, self.data + self.pos, n);
            self.pos += n;
            return static_cast<int64_t>(n);
        };
    }
};

Bytes save(const FXCorePlugin& plugin) {
    Bytes out;
    clap_ostream stream{};
    stream.ctx = &out;
    stream.write = [](const clap_ostream* s, const void* buffer, uint64_t size) -> int64_t {
        auto* bytes = static_cast<const uint8_t*>(buffer);
        static_cast<Bytes*>(s->ctx)->insert(static_cast<Bytes*>(s->ctx)->end(), bytes, bytes + size);
        return static_cast<int64_t>(size);
    };
    require(plugin.stateSave(&stream));
    return out;
}

bool load(FXCorePlugin& plugin, const Bytes& bytes) {
    Source source(bytes.data(), bytes.size(), 0, SIZE_MAX);
    return plugin.stateLoad(&source.stream);
}

FXCorePlugin& plugin() {
    static FXCorePlugin instance(nullptr);
    return instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint64_t step = data[0];
    const size_t errorAt = data[1] == 0 ? SIZE_MAX : (static_cast<size_t>(data[1]) - 1) * 3;
    FXCorePlugin& p = plugin();

    const Bytes before = save(p);
    Source source(data + 2, size - 2, step, errorAt);
    const bool accepted = p.stateLoad(&source.stream);
    require(source.pos <= size - 2);
    if (!accepted) {
        require(save(p) == before);
        return 0;
    }

    for (const auto& def : FXCorePlugin::paramDefs()) {
        const double v = p.paramValue(def.id);
        require(v >= def.min && v <= def.max);  // and so never NaN
    }
    const Bytes saved = save(p);
    require(load(p, saved));
    const Bytes settled = save(p);
    require(load(p, settled));
    require(save(p) == settled);
    return 0;
}
