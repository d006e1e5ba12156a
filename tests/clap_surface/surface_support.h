// Helpers for the tests of the plug-in's CLAP surface: state records written byte
// by byte, memory streams that can hand over or accept a few bytes at a time and
// fail on cue, an output event list that collects parameter values and stereo audio
// buffers. Small assembled programs, run-time firmware tables, input event lists and
// the counting host come from tests/support.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "clap/clap.h"
#include "clap_events.h"
#include "fake_host.h"
#include "fxcoreplug/fxcore_plugin.h"
#include "test_programs.h"

namespace surface {

using testsupport::constantProgram;
using testsupport::FakeHost;
using testsupport::Firmware;
using testsupport::InputEvents;
using testsupport::midiEvent;
using testsupport::paramEvent;

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

// ---- events ----

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
