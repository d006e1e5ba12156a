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
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace testsupport {

class JackRig {
public:
    static constexpr size_t kRecordFrames = 24000;

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

    // For a server that went away: its client is left as it is (closing it would
    // call into the dead server) but kept reachable, and a new one opened on the
    // server that runs now under the same name. False when none runs.
    bool reopen() {
        static auto* const abandoned = new std::vector<jack_client_t*>();
        if (client_ != nullptr) abandoned->push_back(client_);
        client_ = nullptr;
        return open();
    }

    jack_client_t* client() const { return client_; }
    uint64_t frames() const { return frames_.load(std::memory_order_acquire); }
    uint32_t rate() const { return jack_get_sample_rate(client_); }
    const char* feedPort(int channel) const { return jack_port_name(feed_[channel]); }
    const char* recordPort(int channel) const { return jack_port_name(record_[channel]); }

    // A click of 0.5 on both feed ports a few cycles from now, recorded from that
    // frame on for kRecordFrames; a new call starts a new take.
    void clickSoonAndRecord() { takeWanted_.store(static_cast<int64_t>(frames() + 1024), std::memory_order_release); }
    bool recordingDone() const {
        return takeDone_.load(std::memory_order_acquire) == takeWanted_.load(std::memory_order_relaxed);
    }
    // Valid once recordingDone() and until the next take.
    const std::array<std::vector<float>, 2>& recording() const { return take_; }

    // Sends the messages when at least `frames` frames passed since the last send.
    void sendMidiEvery(uint64_t frames, std::initializer_list<std::array<uint8_t, 3>> messages) {
        const uint64_t now = this->frames();
        if (lastSend_ != 0 && now < lastSend_ + frames) return;
        lastSend_ = now + 1;
        for (const auto& m : messages) {
            const uint32_t w = midiWrite_.load(std::memory_order_relaxed);
            midiQueue_[w % midiQueue_.size()] = m;
            midiWrite_.store(w + 1, std::memory_order_release);
        }
    }

private:
    static int process(jack_nframes_t n, void* arg) {
        auto& self = *static_cast<JackRig*>(arg);
        const auto start = static_cast<int64_t>(self.frames_.load(std::memory_order_relaxed));
        const int64_t from = self.takeWanted_.load(std::memory_order_acquire);
        if (from != self.takeFrom_) {
            self.takeFrom_ = from;
            self.recorded_ = 0;
        }
        for (int c = 0; c < 2; ++c) {
            auto* feed = static_cast<float*>(jack_port_get_buffer(self.feed_[c], n));
            std::fill_n(feed, n, 0.0f);
            if (from >= start && from < start + n) feed[from - start] = 0.5f;
        }
        if (from >= 0 && self.recorded_ < kRecordFrames) {
            for (int c = 0; c < 2; ++c) {
                const auto* in = static_cast<const float*>(jack_port_get_buffer(self.record_[c], n));
                const int64_t skip = std::clamp<int64_t>(from - start, 0, n);
                const size_t count = std::min<size_t>(n - skip, kRecordFrames - self.recorded_);
                std::copy_n(in + skip, count, self.take_[c].begin() + self.recorded_);
                if (c == 1) self.recorded_ += count;
            }
            if (self.recorded_ == kRecordFrames) self.takeDone_.store(from, std::memory_order_release);
        }
        void* midi = jack_port_get_buffer(self.midi_, n);
        jack_midi_clear_buffer(midi);
        uint32_t read = self.midiRead_;
        for (; read != self.midiWrite_.load(std::memory_order_acquire); ++read)
            jack_midi_event_write(midi, 0, self.midiQueue_[read % self.midiQueue_.size()].data(), 3);
        self.midiRead_ = read;
        self.frames_.store(static_cast<uint64_t>(start + n), std::memory_order_release);
        return 0;
    }

    std::string name_;
    jack_client_t* client_ = nullptr;
    jack_port_t* feed_[2] = {};
    jack_port_t* record_[2] = {};
    jack_port_t* midi_ = nullptr;
    std::atomic<uint64_t> frames_{0};      // written by JACK's thread, read by the test
    std::atomic<int64_t> takeWanted_{-1};  // the take's first frame: written by the test, read by JACK's thread
    std::atomic<int64_t> takeDone_{-1};    // the last finished take: written by JACK's thread (release)
    int64_t takeFrom_ = -1;                // JACK's thread only
    size_t recorded_ = 0;                  // JACK's thread only
    // Written by JACK's thread during a take; the test reads it after takeDone_ says so.
    std::array<std::vector<float>, 2> take_{std::vector<float>(kRecordFrames), std::vector<float>(kRecordFrames)};
    std::array<std::array<uint8_t, 3>, 16> midiQueue_{};
    std::atomic<uint32_t> midiWrite_{0};  // written by the test (release), read by JACK's thread
    uint32_t midiRead_ = 0;               // JACK's thread only
    uint64_t lastSend_ = 0;               // test thread only
};

}  // namespace testsupport
