// Helpers for the tests of the plug-in's CLAP surface: state records written byte
// by byte, memory streams that can hand over or accept a few bytes at a time and
// fail on cue, small assembled programs, run-time firmware tables, event lists, a
// stub host and stereo audio buffers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "clap/clap.h"
#include "fxasm/assembler.h"
#include "fxasm/hex_writer.h"
#include "fxcoreplug/embedded_programs.h"
#include "fxcoreplug/fxcore_plugin.h"

namespace surface {

using Bytes = std::vector<uint8_t>;

// ---- records ----

// Builds a state record field by field, little-endian whatever the machine.
class RecordWriter {
public:
    RecordWriter& u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    RecordWriter& f64(double value) {
        uint64_t v = 0;
        std::memcpy(&v, &value, 8);
        for (int i = 0; i < 8; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    RecordWriter& pair(uint32_t id, double value) { return u32(id).f64(value); }
    RecordWriter& str(const std::string& s) {
        u32(static_cast<uint32_t>(s.size()));
        bytes_.insert(bytes_.end(), s.begin(), s.end());
        return *this;
    }
    RecordWriter& raw(const std::string& s) {
        bytes_.insert(bytes_.end(), s.begin(), s.end());
        return *this;
    }
    RecordWriter& header(uint32_t version, uint32_t count) { return raw("FXC1").u32(version).u32(count); }
    const Bytes& bytes() const { return bytes_; }
    size_t size() const { return bytes_.size(); }

private:
    Bytes bytes_;
};

// The table's ids in table order with the values a fresh plug-in holds.
inline std::vector<std::pair<uint32_t, double>> freshPairs() {
    return {{100, 0.5}, {101, 0.5}, {102, 0.5}, {103, 0.5}, {104, 0.5}, {105, 0.5}, {200, 0.0}, {201, 0.0}, {202, 0.0},
            {203, 0.0}, {204, 0.0}, {300, 1.0}, {301, 0.0}, {400, 0.0}, {401, 0.0}, {402, 0.0}, {500, 0.0}, {501, 0.0}};
}

// A whole version 2 record.
inline Bytes record(const std::vector<std::pair<uint32_t, double>>& pairs, const std::string& customName,
                    const std::string& customHex, const std::string& bank) {
    RecordWriter w;
    w.header(2, static_cast<uint32_t>(pairs.size()));
    for (const auto& [id, value] : pairs) w.pair(id, value);
    return w.str(customName).str(customHex).str(bank).bytes();
}

// ---- streams ----

// An output stream into memory. It accepts at most `chunk` bytes per call (0: all),
// and once `failAfter` bytes are in it answers every call with `failResult`
// (counted in `refusals`; a writer that keeps going after many gets -1).
struct MemoryOut {
    clap_ostream stream{};
    Bytes data;
    uint64_t chunk = 0;
    std::optional<size_t> failAfter;
    int64_t failResult = -1;
    int calls = 0;
    int refusals = 0;

    MemoryOut() {
        stream.ctx = this;
        stream.write = [](const clap_ostream* s, const void* buffer, uint64_t size) -> int64_t {
            auto& self = *static_cast<MemoryOut*>(s->ctx);
            ++self.calls;
            uint64_t n = self.chunk == 0 ? size : std::min(size, self.chunk);
            if (self.failAfter) {
                if (self.data.size() >= *self.failAfter) return ++self.refusals > 100 ? -1 : self.failResult;
                n = std::min<uint64_t>(n, *self.failAfter - self.data.size());
            }
            const auto* bytes = static_cast<const uint8_t*>(buffer);
            self.data.insert(self.data.end(), bytes, bytes + n);
            return static_cast<int64_t>(n);
        };
    }
    MemoryOut(const MemoryOut&) = delete;
    MemoryOut& operator=(const MemoryOut&) = delete;
};

// An input stream over bytes. It hands over at most `chunk` bytes per call (0: all
// that are asked for), 0 at the end (counted in `endReads`; a reader that keeps
// going after many gets -1), and -1 once the position reaches `errorAt`.
struct MemoryIn {
    clap_istream stream{};
    Bytes data;
    size_t pos = 0;
    uint64_t chunk = 0;
    std::optional<size_t> errorAt;
    int endReads = 0;

    explicit MemoryIn(Bytes bytes, uint64_t chunkSize = 0) : data(std::move(bytes)), chunk(chunkSize) {
        stream.ctx = this;
        stream.read = [](const clap_istream* s, void* buffer, uint64_t size) -> int64_t {
            auto& self = *static_cast<MemoryIn*>(s->ctx);
            if (self.errorAt && self.pos >= *self.errorAt) return -1;
            if (self.pos == self.data.size() && ++self.endReads > 100) return -1;
            uint64_t n = std::min<uint64_t>(size, self.data.size() - self.pos);
            if (self.chunk != 0) n = std::min(n, self.chunk);
            if (self.errorAt) n = std::min<uint64_t>(n, *self.errorAt - self.pos);
            if (n > 0) std::memcpy(buffer, self.data.data() + self.pos, n);
            self.pos += n;
            return static_cast<int64_t>(n);
        };
    }
    MemoryIn(const MemoryIn&) = delete;
    MemoryIn& operator=(const MemoryIn&) = delete;
};

inline Bytes saveOf(const fxcoreplug::FXCorePlugin& plugin) {
    MemoryOut out;
    EXPECT_TRUE(plugin.stateSave(&out.stream));
    return out.data;
}

inline bool loadInto(fxcoreplug::FXCorePlugin& plugin, const Bytes& bytes, uint64_t chunk = 0) {
    MemoryIn in(bytes, chunk);
    return plugin.stateLoad(&in.stream);
}

// ---- programs and firmware ----

// Assembles `source` into HEX text; a source that does not assemble fails the test.
inline std::string hexOf(const std::string& source) {
    const fxasm::AsmOutput out = fxasm::assemble(source);
    EXPECT_TRUE(out.ok()) << source;
    const fxasm::HexOutput hex = fxasm::writeHex(out.words, out.presets);
    EXPECT_TRUE(hex.error.empty()) << hex.error;
    return hex.text;
}

// A program that writes `value` to OUT0 every sample from a register preset in
// register `reg`, padded with `extra` writes of it to OUT1. Two such programs with
// different registers and lengths give 0 on OUT0 when one's words meet the other's
// presets.
inline std::string constantProgram(double value, int reg = 1, int extra = 0) {
    const std::string r = "R" + std::to_string(reg);
    std::string source = ".creg " + r + ", " + std::to_string(value) + "\nwrsfr " + r + ", OUT0\n";
    for (int i = 0; i < extra; ++i) source += "wrsfr " + r + ", OUT1\n";
    return hexOf(source);
}

// A firmware table put together at run time; it keeps its texts alive.
class Firmware {
public:
    Firmware& add(const std::string& name, const std::string& hex, std::optional<std::string> controls = std::nullopt) {
        texts_.push_back({name, hex, controls.value_or(""), controls.has_value()});
        rows_.clear();
        for (const Texts& t : texts_)
            rows_.push_back({t.name.c_str(), t.hex.c_str(), t.hasControls ? t.controls.c_str() : nullptr});
        return *this;
    }
    std::span<const fxcoreplug::EmbeddedProgram> table() const { return rows_; }

private:
    struct Texts {
        std::string name, hex, controls;
        bool hasControls;
    };
    std::deque<Texts> texts_;
    std::vector<fxcoreplug::EmbeddedProgram> rows_;
};

// ---- events ----

// An input event list; events are added in time order.
class EventList {
public:
    EventList() {
        list_.ctx = this;
        list_.size = [](const clap_input_events* l) {
            return static_cast<uint32_t>(static_cast<const EventList*>(l->ctx)->events_.size());
        };
        list_.get = [](const clap_input_events* l, uint32_t i) -> const clap_event_header* {
            const auto& events = static_cast<const EventList*>(l->ctx)->events_;
            return i < events.size() ? reinterpret_cast<const clap_event_header*>(events[i].data()) : nullptr;
        };
    }
    EventList(const EventList&) = delete;
    EventList& operator=(const EventList&) = delete;

    EventList& param(uint32_t time, uint32_t id, double value) {
        clap_event_param_value e{};
        e.header = {sizeof(e), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        e.param_id = id;
        e.note_id = -1;
        e.port_index = e.channel = e.key = -1;
        e.value = value;
        return push(&e, sizeof(e));
    }
    EventList& midi(uint32_t time, uint8_t status, uint8_t data1, uint8_t data2) {
        clap_event_midi e{};
        e.header = {sizeof(e), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_MIDI, 0};
        e.data[0] = status;
        e.data[1] = data1;
        e.data[2] = data2;
        return push(&e, sizeof(e));
    }
    const clap_input_events* list() const { return &list_; }

private:
    EventList& push(const void* event, size_t size) {
        // 8-byte aligned storage: the events hold doubles and pointers.
        std::vector<uint64_t> storage((size + 7) / 8);
        std::memcpy(storage.data(), event, size);
        events_.push_back(std::move(storage));
        return *this;
    }
    clap_input_events list_{};
    std::vector<std::vector<uint64_t>> events_;
};

// Collects the parameter values the plug-in sends to the host.
struct EventSink {
    clap_output_events events{};
    std::vector<std::pair<uint32_t, double>> values;
    int others = 0;

    EventSink() {
        events.ctx = this;
        events.try_push = [](const clap_output_events* l, const clap_event_header* e) {
            auto& self = *static_cast<EventSink*>(l->ctx);
            if (e->type == CLAP_EVENT_PARAM_VALUE) {
                const auto* v = reinterpret_cast<const clap_event_param_value*>(e);
                self.values.emplace_back(v->param_id, v->value);
            } else {
                ++self.others;
            }
            return true;
        };
    }
    EventSink(const EventSink&) = delete;
    EventSink& operator=(const EventSink&) = delete;
};

// ---- host ----

// A host that offers "clap.params" and counts the callbacks and rescans asked of it.
// The counters are atomic: request_callback arrives on the audio thread.
struct StubHost {
    clap_host host{};
    clap_host_params params{};
    std::atomic<int> callbackRequests{0};
    std::atomic<int> rescans{0};
    std::atomic<uint32_t> lastRescanFlags{0};

    StubHost() {
        host.clap_version = CLAP_VERSION_INIT;
        host.host_data = this;
        host.name = "surface test host";
        host.vendor = "tests";
        host.url = "";
        host.version = "1";
        host.get_extension = [](const clap_host* h, const char* id) -> const void* {
            return id != nullptr && std::strcmp(id, CLAP_EXT_PARAMS) == 0 ? &of(h).params : nullptr;
        };
        host.request_restart = [](const clap_host*) {};
        host.request_process = [](const clap_host*) {};
        host.request_callback = [](const clap_host* h) { of(h).callbackRequests.fetch_add(1); };
        params.rescan = [](const clap_host* h, clap_param_rescan_flags flags) {
            of(h).lastRescanFlags.store(flags);
            of(h).rescans.fetch_add(1);
        };
        params.clear = [](const clap_host*, clap_id, clap_param_clear_flags) {};
        params.request_flush = [](const clap_host*) {};
    }
    StubHost(const StubHost&) = delete;
    StubHost& operator=(const StubHost&) = delete;

    static StubHost& of(const clap_host* h) { return *static_cast<StubHost*>(h->host_data); }
};

// ---- audio ----

// One stereo input port and one stereo output port of `frames` samples, and the
// process record that points at them.
struct StereoBlock {
    std::vector<float> inL, inR, outL, outR;
    float* inPtrs[2];
    float* outPtrs[2];
    clap_audio_buffer input{};
    clap_audio_buffer output{};
    clap_process process{};

    explicit StereoBlock(uint32_t frames) : inL(frames), inR(frames), outL(frames), outR(frames) {
        inPtrs[0] = inL.data();
        inPtrs[1] = inR.data();
        outPtrs[0] = outL.data();
        outPtrs[1] = outR.data();
        input.data32 = inPtrs;
        input.channel_count = 2;
        output.data32 = outPtrs;
        output.channel_count = 2;
        process.steady_time = -1;
        process.frames_count = frames;
        process.audio_inputs = &input;
        process.audio_outputs = &output;
        process.audio_inputs_count = 1;
        process.audio_outputs_count = 1;
    }
    StereoBlock(const StereoBlock&) = delete;
    StereoBlock& operator=(const StereoBlock&) = delete;

    // Fills the input with the noise sequence from `seed` on; returns the next seed.
    uint32_t fillNoise(uint32_t seed) {
        for (size_t i = 0; i < inL.size(); ++i) {
            seed = seed * 1664525u + 1013904223u;
            inL[i] = static_cast<float>(static_cast<int32_t>(seed)) * 0x1p-32f;
            seed = seed * 1664525u + 1013904223u;
            inR[i] = static_cast<float>(static_cast<int32_t>(seed)) * 0x1p-32f;
        }
        return seed;
    }
};

}  // namespace surface
