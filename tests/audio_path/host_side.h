// The host's side of a process call, for driving the plug-in as a CLAP host would:
// input event lists built from a vector of events, output lists that record what
// the plug-in pushes (and can be told to refuse), audio buffers wrapped in a
// clap_process record, a fake host that counts what the plug-in asks of it, and
// small assembled programs that make the chip's inputs and pins visible.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "clap/clap.h"
#include "fxasm/assembler.h"
#include "fxasm/hex_writer.h"
#include "fxcoreplug/embedded_programs.h"
#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"

namespace audiopath {

namespace param = fxcoreplug::param;
using fxcoreplug::FXCorePlugin;

// ---------------------------------------------------------------------------
// Events

// Room for any event the tests send or receive.
union Event {
    clap_event_header header;
    clap_event_param_value value;
    clap_event_param_gesture gesture;
    clap_event_midi midi;
    clap_event_note note;
    clap_event_transport transport;
};

inline Event paramEvent(uint32_t time, uint32_t id, double value) {
    Event e{};
    e.value.header = {sizeof(clap_event_param_value), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
    e.value.param_id = id;
    e.value.note_id = -1;
    e.value.port_index = -1;
    e.value.channel = -1;
    e.value.key = -1;
    e.value.value = value;
    return e;
}

inline Event midiEvent(uint32_t time, uint8_t status, uint8_t data1, uint8_t data2) {
    Event e{};
    e.midi.header = {sizeof(clap_event_midi), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_MIDI, 0};
    e.midi.port_index = 0;
    e.midi.data[0] = status;
    e.midi.data[1] = data1;
    e.midi.data[2] = data2;
    return e;
}

// A control change on channel 1 (0-based channel 0) unless told otherwise.
inline Event ccEvent(uint32_t time, uint8_t cc, uint8_t value, uint8_t channel = 0) {
    return midiEvent(time, static_cast<uint8_t>(0xB0 | (channel & 0x0F)), cc, value);
}

inline Event noteOnEvent(uint32_t time, int16_t key = 60) {
    Event e{};
    e.note.header = {sizeof(clap_event_note), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_NOTE_ON, 0};
    e.note.note_id = -1;
    e.note.port_index = 0;
    e.note.channel = 0;
    e.note.key = key;
    e.note.velocity = 1.0;
    return e;
}

inline Event inSpace(Event e, uint16_t space) {
    e.header.space_id = space;
    return e;
}

// An input event list over a vector of events, which the list owns. Counts the
// host calls the plug-in makes on it.
class InputEvents {
public:
    InputEvents() { wire(); }
    InputEvents(std::initializer_list<Event> events) : events_(events) { wire(); }
    explicit InputEvents(std::vector<Event> events) : events_(std::move(events)) { wire(); }
    InputEvents(const InputEvents&) = delete;
    InputEvents& operator=(const InputEvents&) = delete;

    InputEvents& add(const Event& e) {
        events_.push_back(e);
        return *this;
    }
    void clear() { events_.clear(); }
    const clap_input_events* list() const { return &list_; }
    size_t size() const { return events_.size(); }
    int gets() const { return gets_; }

private:
    void wire() {
        list_.ctx = this;
        list_.size = [](const clap_input_events* l) {
            return static_cast<uint32_t>(static_cast<const InputEvents*>(l->ctx)->events_.size());
        };
        list_.get = [](const clap_input_events* l, uint32_t index) -> const clap_event_header* {
            auto* self = static_cast<InputEvents*>(l->ctx);
            ++self->gets_;
            return index < self->events_.size() ? &self->events_[index].header : nullptr;
        };
    }

    std::vector<Event> events_;
    int gets_ = 0;
    clap_input_events list_{};
};

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
// The host

// A host that offers "clap.params" (unless told not to) and counts the extension
// look-ups, the flush requests and the callback requests. Counters are atomic: the
// plug-in calls from the audio thread and from the panel's thread.
struct FakeHost {
    clap_host host{};
    clap_host_params params{};
    std::atomic<bool> offerParams{true};
    std::atomic<int> paramsLookups{0};
    std::atomic<int> flushRequests{0};
    std::atomic<int> callbackRequests{0};

    FakeHost() {
        host.clap_version = CLAP_VERSION_INIT;
        host.host_data = this;
        host.name = "audio path test host";
        host.vendor = "tests";
        host.url = "";
        host.version = "1";
        host.get_extension = [](const clap_host* h, const char* id) -> const void* {
            FakeHost& self = of(h);
            if (std::strcmp(id, CLAP_EXT_PARAMS) != 0) return nullptr;
            self.paramsLookups.fetch_add(1);
            return self.offerParams.load() ? &self.params : nullptr;
        };
        host.request_restart = [](const clap_host*) {};
        host.request_process = [](const clap_host*) {};
        host.request_callback = [](const clap_host* h) { of(h).callbackRequests.fetch_add(1); };
        params.rescan = [](const clap_host*, clap_param_rescan_flags) {};
        params.clear = [](const clap_host*, clap_id, clap_param_clear_flags) {};
        params.request_flush = [](const clap_host* h) { of(h).flushRequests.fetch_add(1); };
    }
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    static FakeHost& of(const clap_host* h) { return *static_cast<FakeHost*>(h->host_data); }
};

// ---------------------------------------------------------------------------
// Programs

// Assembles `source` into HEX text; a source that does not assemble fails the test.
inline std::string hexOf(const std::string& source) {
    const fxasm::AsmOutput out = fxasm::assemble(source);
    std::string errors;
    for (const fxasm::AsmError& e : out.errors) errors += std::to_string(e.line) + ": " + e.message + "\n";
    EXPECT_TRUE(out.ok()) << source << "\n" << errors;
    const fxasm::HexOutput hex = fxasm::writeHex(out.words, out.presets);
    EXPECT_TRUE(hex.error.empty()) << hex.error;
    return hex.text;
}

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

// A firmware table assembled at run time; the rows point into texts it keeps.
class Firmware {
public:
    Firmware& add(const std::string& name, const std::string& hex) {
        texts_.push_back({name, hex});
        rows_.clear();
        for (const auto& t : texts_) rows_.push_back({t.first.c_str(), t.second.c_str(), nullptr});
        return *this;
    }
    std::span<const fxcoreplug::EmbeddedProgram> table() const { return rows_; }

private:
    std::deque<std::pair<std::string, std::string>> texts_;
    std::vector<fxcoreplug::EmbeddedProgram> rows_;
};

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
