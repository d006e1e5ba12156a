// A small JACK client for the end-to-end tests: two feed ports that carry a click,
// two record ports that take what comes back, and a MIDI port that sends control
// changes. Its process callback runs on JACK's thread; the test talks to it through
// atomics only. Link the JACK library (pkg-config "jack") to use it.
#pragma once

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace testsupport {

class JackRig {
public:
    static constexpr size_t kRecordFrames = 24000;
    static constexpr float kClick = 0.5f;

    explicit JackRig(std::string name) : name_(std::move(name)) {}
    ~JackRig() {
        if (client_ == nullptr) return;
        jack_deactivate(client_);
        jack_client_close(client_);
    }
    JackRig(const JackRig&) = delete;
    JackRig& operator=(const JackRig&) = delete;

    // False when no JACK server runs (the rig never starts one).
    bool open() {
        client_ = jack_client_open(name_.c_str(), JackNoStartServer, nullptr);
        if (client_ == nullptr) return false;
        for (int c = 0; c < 2; ++c) {
            const std::string n = std::to_string(c + 1);
            feed_[c] =
                jack_port_register(client_, ("feed_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
            record_[c] =
                jack_port_register(client_, ("record_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        }
        midi_ = jack_port_register(client_, "control", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client_, &JackRig::process, this);
        return jack_activate(client_) == 0;
    }

    jack_client_t* client() const { return client_; }
    uint64_t frames() const { return frames_.load(std::memory_order_acquire); }
    uint32_t rate() const { return jack_get_sample_rate(client_); }
    std::string feedPort(int channel) const { return jack_port_name(feed_[channel]); }
    std::string recordPort(int channel) const { return jack_port_name(record_[channel]); }
    bool midiConnected() const { return jack_port_connected(midi_) > 0; }

    // Names of the ports matching the regular expression, in the server's order.
    std::vector<std::string> ports(const std::string& pattern, unsigned long flags) const {
        std::vector<std::string> names;
        const char** found = jack_get_ports(client_, pattern.c_str(), nullptr, flags);
        for (const char** p = found; p != nullptr && *p != nullptr; ++p) names.emplace_back(*p);
        if (found != nullptr) jack_free(found);
        return names;
    }
    // Ports already connected count as connected.
    bool connect(const std::string& from, const std::string& to) {
        const int result = jack_connect(client_, from.c_str(), to.c_str());
        return result == 0 || result == EEXIST;
    }

    // A click of kClick on both feed ports at frame `at`, recorded from that frame on
    // for kRecordFrames; a new call starts a new take.
    void clickAndRecord(uint64_t at) {
        takeWanted_.store(static_cast<int64_t>(at), std::memory_order_release);
    }
    // Waits a few cycles, then clicks and records.
    void clickSoonAndRecord() { clickAndRecord(frames() + 1024); }
    bool recordingDone() const {
        return takeDone_.load(std::memory_order_acquire) == takeWanted_.load(std::memory_order_relaxed);
    }
    // Valid once recordingDone() and until the next clickAndRecord.
    const std::array<std::vector<float>, 2>& recording() const { return take_; }

    // Sends the messages when at least `frames` frames passed since the last send.
    void sendMidiEvery(uint64_t frames, std::initializer_list<std::array<uint8_t, 3>> messages) {
        const uint64_t now = this->frames();
        if (lastSend_ != 0 && now < lastSend_ + frames) return;
        lastSend_ = now + 1;
        for (const auto& m : messages) sendMidi(m[0], m[1], m[2]);
    }

    void sendMidi(uint8_t status, uint8_t data1, uint8_t data2) {
        const uint32_t w = midiWrite_.load(std::memory_order_relaxed);
        midiQueue_[w % midiQueue_.size()] = {status, data1, data2};
        midiWrite_.store(w + 1, std::memory_order_release);
    }

private:
    static int process(jack_nframes_t n, void* arg) {
        auto& self = *static_cast<JackRig*>(arg);
        const uint64_t start = self.frames_.load(std::memory_order_relaxed);
        const int64_t from = self.takeWanted_.load(std::memory_order_acquire);
        if (from != self.takeFrom_) {
            self.takeFrom_ = from;
            self.recorded_ = 0;
        }
        for (int c = 0; c < 2; ++c) {
            auto* feed = static_cast<float*>(jack_port_get_buffer(self.feed_[c], n));
            std::fill_n(feed, n, 0.0f);
            if (from >= 0 && static_cast<uint64_t>(from) >= start && static_cast<uint64_t>(from) < start + n)
                feed[from - static_cast<int64_t>(start)] = kClick;
        }
        if (from >= 0 && self.recorded_ < kRecordFrames) {
            const auto* l = static_cast<const float*>(jack_port_get_buffer(self.record_[0], n));
            const auto* r = static_cast<const float*>(jack_port_get_buffer(self.record_[1], n));
            for (jack_nframes_t i = 0; i < n && self.recorded_ < kRecordFrames; ++i) {
                if (static_cast<int64_t>(start + i) < from) continue;
                self.take_[0][self.recorded_] = l[i];
                self.take_[1][self.recorded_] = r[i];
                ++self.recorded_;
            }
            if (self.recorded_ == kRecordFrames) self.takeDone_.store(from, std::memory_order_release);
        }
        void* midi = jack_port_get_buffer(self.midi_, n);
        jack_midi_clear_buffer(midi);
        uint32_t read = self.midiRead_.load(std::memory_order_relaxed);
        while (read != self.midiWrite_.load(std::memory_order_acquire)) {
            jack_midi_event_write(midi, 0, self.midiQueue_[read % self.midiQueue_.size()].data(), 3);
            ++read;
        }
        self.midiRead_.store(read, std::memory_order_relaxed);
        self.frames_.store(start + n, std::memory_order_release);
        return 0;
    }

    std::string name_;
    jack_client_t* client_ = nullptr;
    jack_port_t* feed_[2] = {};
    jack_port_t* record_[2] = {};
    jack_port_t* midi_ = nullptr;
    std::atomic<uint64_t> frames_{0};        // written by JACK's thread, read by the test
    std::atomic<int64_t> takeWanted_{-1};    // the take's first frame: written by the test, read by JACK's thread
    std::atomic<int64_t> takeDone_{-1};      // the last finished take: written by JACK's thread (release)
    int64_t takeFrom_ = -1;                  // JACK's thread only
    size_t recorded_ = 0;                    // JACK's thread only
    // Written by JACK's thread during a take; the test reads it after takeDone_ says so.
    std::array<std::vector<float>, 2> take_{std::vector<float>(kRecordFrames), std::vector<float>(kRecordFrames)};
    std::array<std::array<uint8_t, 3>, 16> midiQueue_{};
    std::atomic<uint32_t> midiWrite_{0};     // written by the test (release), read by JACK's thread
    std::atomic<uint32_t> midiRead_{0};      // JACK's thread only
    uint64_t lastSend_ = 0;                  // test thread only
};

}  // namespace testsupport
