// The host's side of a process call, for driving the plug-in as a CLAP host would:
// output lists that record what the plug-in pushes (and can be told to refuse),
// audio buffers wrapped in a clap_process record, and small assembled programs that
// make the chip's inputs and pins visible. Input event lists, the counting host and
// run-time firmware tables come from tests/support.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "clap/clap.h"
#include "clap_events.h"
#include "fake_host.h"
#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"
#include "test_programs.h"

namespace audiopath {

namespace param = fxcoreplug::param;
using fxcoreplug::FXCorePlugin;

using testsupport::ccEvent;
using testsupport::Event;
using testsupport::FakeHost;
using testsupport::Firmware;
using testsupport::hexOf;
using testsupport::inSpace;
using testsupport::InputEvents;
using testsupport::midiEvent;
using testsupport::noteOnEvent;
using testsupport::paramEvent;

// ---------------------------------------------------------------------------
// Events the plug-in sends

// One output event as the tests compare it.
struct Seen {
    uint16_t type = 0;
    uint32_t id = 0;
    double value = 0.0;
    friend bool operator==(const Seen&, const Seen&) = default;
};

inline std::ostream& operator<<(std::ostream& os, const Seen& s) {
    const char* kind = s.type == CLAP_EVENT_PARAM_VALUE           ? "value"
                       : s.type == CLAP_EVENT_PARAM_GESTURE_BEGIN ? "begin"
                       : s.type == CLAP_EVENT_PARAM_GESTURE_END   ? "end"
                                                                  : "other";
    return os << "{" << kind << " " << s.id << " " << s.value << "}";
}

inline Seen valueSeen(uint32_t id, double value) { return {CLAP_EVENT_PARAM_VALUE, id, value}; }
inline Seen beginSeen(uint32_t id) { return {CLAP_EVENT_PARAM_GESTURE_BEGIN, id, 0.0}; }
inline Seen endSeen(uint32_t id) { return {CLAP_EVENT_PARAM_GESTURE_END, id, 0.0}; }

// An output event list that keeps a copy of every event it accepts. It accepts
// everything, nothing, or only the first few. Storage is reserved up front so that
// a push within the capacity does not allocate.
class OutputEvents {
public:
    explicit OutputEvents(size_t capacity = 4096) {
        events_.reserve(capacity);
        list_.ctx = this;
        list_.try_push = [](const clap_output_events* l, const clap_event_header* e) {
            auto* self = static_cast<OutputEvents*>(l->ctx);
            if (self->onPush) self->onPush();
            ++self->attempts_;
            if (self->accepted_ >= self->acceptLimit_) return false;
            ++self->accepted_;
            Event copy{};
            if (e->size > sizeof(Event)) {
                self->oversized_ = true;
                std::memcpy(&copy, e, sizeof(Event));
            } else {
                std::memcpy(&copy, e, e->size);
            }
            self->events_.push_back(copy);
            return true;
        };
    }
    OutputEvents(const OutputEvents&) = delete;
    OutputEvents& operator=(const OutputEvents&) = delete;

    const clap_output_events* list() const { return &list_; }

    // Called at every push, before the event is taken or refused.
    std::function<void()> onPush;

    void refuseAll() { acceptLimit_ = 0; }
    void acceptOnly(size_t n) { acceptLimit_ = accepted_ + n; }
    void clear() {
        events_.clear();
        attempts_ = 0;
        accepted_ = 0;
        acceptLimit_ = std::numeric_limits<size_t>::max();
    }

    const std::vector<Event>& events() const { return events_; }
    size_t attempts() const { return attempts_; }
    bool sawOversized() const { return oversized_; }

    std::vector<Seen> seen() const {
        std::vector<Seen> out;
        for (const Event& e : events_) {
            if (e.header.type == CLAP_EVENT_PARAM_VALUE)
                out.push_back({e.header.type, e.value.param_id, e.value.value});
            else if (e.header.type == CLAP_EVENT_PARAM_GESTURE_BEGIN || e.header.type == CLAP_EVENT_PARAM_GESTURE_END)
                out.push_back({e.header.type, e.gesture.param_id, 0.0});
            else
                out.push_back({e.header.type, 0, 0.0});
        }
        return out;
    }

private:
    std::vector<Event> events_;
    size_t attempts_ = 0;
    size_t accepted_ = 0;
    size_t acceptLimit_ = std::numeric_limits<size_t>::max();
    bool oversized_ = false;
    clap_output_events list_{};
};

// Checks the fixed fields of a parameter-value event the plug-in sends.
inline void expectValueShape(const Event& e) {
    EXPECT_EQ(e.header.size, 56u);
    EXPECT_EQ(e.header.time, 0u);
    EXPECT_EQ(e.header.space_id, CLAP_CORE_EVENT_SPACE_ID);
    EXPECT_EQ(e.header.type, CLAP_EVENT_PARAM_VALUE);
    EXPECT_EQ(e.header.flags, 0u);
    EXPECT_EQ(e.value.cookie, nullptr);
    EXPECT_EQ(e.value.note_id, -1);
    EXPECT_EQ(e.value.port_index, -1);
    EXPECT_EQ(e.value.channel, -1);
    EXPECT_EQ(e.value.key, -1);
}

inline void expectGestureShape(const Event& e, uint16_t type) {
    EXPECT_EQ(e.header.size, 20u);
    EXPECT_EQ(e.header.time, 0u);
    EXPECT_EQ(e.header.space_id, CLAP_CORE_EVENT_SPACE_ID);
    EXPECT_EQ(e.header.type, type);
    EXPECT_EQ(e.header.flags, 0u);
}

// ---------------------------------------------------------------------------
// Audio

// The buffers of one block and the clap_process record that points at them. The
// outputs start filled with a value no program writes, so an unwritten sample
// shows.
class Block {
public:
    static constexpr float kUnwritten = 7.5f;

    explicit Block(uint32_t frames, uint32_t inChannels = 2, uint32_t outChannels = 2)
        : frames_(frames),
          in_(inChannels, std::vector<float>(frames, 0.0f)),
          out_(outChannels, std::vector<float>(frames, kUnwritten)) {}

    uint32_t frames() const { return frames_; }
    std::vector<float>& in(size_t channel) { return in_[channel]; }
    const std::vector<float>& out(size_t channel) const { return out_[channel]; }
    std::vector<float>& out(size_t channel) { return out_[channel]; }

    Block& events(const InputEvents& e) {
        inEvents_ = e.list();
        return *this;
    }
    Block& output(const OutputEvents& o) {
        outEvents_ = o.list();
        return *this;
    }
    Block& noOutputList() {
        outEvents_ = nullptr;
        return *this;
    }
    // The host offers its input port with 64-bit buffers only.
    Block& inputWithout32BitBuffers() {
        only64_ = true;
        return *this;
    }
    Block& noOutputPort() {
        noOutputPort_ = true;
        return *this;
    }
    Block& outputPortAs(void (*reshape)(clap_audio_buffer&)) {
        reshapeOutPort_ = reshape;
        return *this;
    }
    void fillOutputs(float v) {
        for (auto& ch : out_) std::fill(ch.begin(), ch.end(), v);
    }

    const clap_process* record() {
        inPtrs_.clear();
        outPtrs_.clear();
        for (auto& ch : in_) inPtrs_.push_back(ch.data());
        for (auto& ch : out_) outPtrs_.push_back(ch.data());
        in64_.assign(in_.size(), nullptr);

        inPort_ = {};
        inPort_.channel_count = static_cast<uint32_t>(in_.size());
        if (only64_)
            inPort_.data64 = in64_.data();
        else
            inPort_.data32 = inPtrs_.data();
        outPort_ = {};
        outPort_.data32 = outPtrs_.data();
        outPort_.channel_count = static_cast<uint32_t>(out_.size());
        if (reshapeOutPort_ != nullptr) reshapeOutPort_(outPort_);

        proc_ = {};
        proc_.steady_time = -1;
        proc_.frames_count = frames_;
        proc_.transport = nullptr;
        proc_.audio_inputs = in_.empty() ? nullptr : &inPort_;
        proc_.audio_inputs_count = in_.empty() ? 0 : 1;
        proc_.audio_outputs = &outPort_;  // a count of 0 alone says there is no port
        proc_.audio_outputs_count = noOutputPort_ ? 0 : 1;
        proc_.in_events = inEvents_;
        proc_.out_events = outEvents_;
        return &proc_;
    }

    clap_process_status runOn(FXCorePlugin& plugin) { return plugin.process(record()); }

private:
    uint32_t frames_;
    std::vector<std::vector<float>> in_, out_;
    std::vector<float*> inPtrs_, outPtrs_;
    std::vector<double*> in64_;
    bool only64_ = false;
    bool noOutputPort_ = false;
    void (*reshapeOutPort_)(clap_audio_buffer&) = nullptr;
    const clap_input_events* inEvents_ = nullptr;
    const clap_output_events* outEvents_ = nullptr;
    clap_audio_buffer inPort_{}, outPort_{};
    clap_process proc_{};
};

// A small integer the chip wrote to an output (a pin word, a counter), read back
// from the float the plug-in hands out with an output gain of 1.
inline int64_t wordOf(float sample) { return std::llround(static_cast<double>(sample) * 2147483648.0); }

// The linear factor of a trim, as the plug-in computes it.
inline float trimGain(double dB) { return static_cast<float>(std::pow(10.0, dB / 20.0)); }

// ---------------------------------------------------------------------------
// Programs

// OUT0/OUT1 copy IN0/IN1; OUT2 and OUT3 hold 0.25 and -0.5.
inline const std::string& passThroughSource() {
    static const std::string source =
        ".creg R1, 0.25\n"
        ".creg R2, -0.5\n"
        "rdsfr R0, IN0\n"
        "wrsfr R0, OUT0\n"
        "rdsfr R0, IN1\n"
        "wrsfr R0, OUT1\n"
        "wrsfr R1, OUT2\n"
        "wrsfr R2, OUT3\n";
    return source;
}
inline constexpr float kOut2 = 0.25f;
inline constexpr float kOut3 = -0.5f;

// OUT0 shows the pin word of the sample, OUT1 the chip's sample counter, and
// OUT2/OUT3 copy IN0/IN1.
inline const std::string& pinsSource() {
    static const std::string source =
        "rdsfr R0, PINS\n"
        "wrsfr R0, OUT0\n"
        "rdsfr R0, SAMPLE_COUNT\n"
        "wrsfr R0, OUT1\n"
        "rdsfr R0, IN0\n"
        "wrsfr R0, OUT2\n"
        "rdsfr R0, IN1\n"
        "wrsfr R0, OUT3\n";
    return source;
}

// Bank 0 plays the pass-through program, bank 1 the pin probe.
inline const Firmware& probeFirmware() {
    static const Firmware fw = [] {
        Firmware f;
        f.add("through", hexOf(passThroughSource()));
        f.add("pins", hexOf(pinsSource()));
        return f;
    }();
    return fw;
}

// A firmware table whose only image does not load: the chip never gets a program.
inline const Firmware& brokenFirmware() {
    static const Firmware fw = [] {
        Firmware f;
        f.add("broken", ":not a hex image\n");
        return f;
    }();
    return fw;
}

// A plug-in on the probe firmware with a counting host, activated at `rate`.
struct Rig {
    explicit Rig(double rate = 48000.0, const Firmware& fw = probeFirmware())
        : plugin(std::make_unique<FXCorePlugin>(&host.host, fw.table())) {
        plugin->activate(rate, 1, 4096);
    }
    // Selects the pin-probe program (installed at the next block).
    Rig& pins() {
        plugin->storeParam(param::kProgram, 1.0);
        return *this;
    }
    FXCorePlugin& operator*() { return *plugin; }
    FXCorePlugin* operator->() { return plugin.get(); }

    FakeHost host;
    std::unique_ptr<FXCorePlugin> plugin;
};

}  // namespace audiopath
