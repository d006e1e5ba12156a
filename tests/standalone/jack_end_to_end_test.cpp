// The standalone host on a real JACK server: a small JACK client of the test feeds
// a click into the host's input ports, records its output ports and sends MIDI
// control changes; the firmware's echo must come back, and POT0 must follow the
// MIDI. Skipped when no JACK server runs.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <initializer_list>

#include "audio_measures.h"
#include "eventually.h"
#include "standalone/lifecycle.h"

namespace {

using namespace brevlin::clap_host::standalone;
namespace fs = std::filesystem;
using testsupport::loudest;

constexpr char kClientName[] = "lumivex-e2e";
constexpr size_t kRecordFrames = 24000;
constexpr int64_t kEchoFrames = 8700;  // the echo's Time knob at its default of 0.5
constexpr clap_id kPot0 = 100;  // Time
constexpr clap_id kPot3 = 103;  // Mod
constexpr clap_id kPot4 = 104;  // Tone

// The test's JACK client. Its process callback runs on JACK's thread; the test
// talks to it through atomics only.
class JackRig {
public:
    bool open() {
        client_ = jack_client_open(kClientName, JackNoStartServer, nullptr);
        if (client_ == nullptr) return false;
        for (int c = 0; c < 2; ++c) {
            const std::string n = std::to_string(c + 1);
            feed_[c] =
                jack_port_register(client_, ("feed_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        }
        for (int c = 0; c < 2; ++c) {
            const std::string n = std::to_string(c + 1);
            record_[c] =
                jack_port_register(client_, ("record_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        }
        midi_ = jack_port_register(client_, "control", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client_, &JackRig::process, this);
        return jack_activate(client_) == 0;
    }
    ~JackRig() {
        if (client_ == nullptr) return;
        jack_deactivate(client_);
        jack_client_close(client_);
    }

    uint64_t frames() const { return frames_.load(std::memory_order_acquire); }
    uint32_t rate() const { return jack_get_sample_rate(client_); }

    // A click of 0.5 on both feed ports at frame `at`, recorded from that frame on.
    void clickAndRecord(uint64_t at) {
        recordFrom_.store(static_cast<int64_t>(at), std::memory_order_release);
    }
    bool recordingDone() const { return recorded_.load(std::memory_order_acquire) == kRecordFrames; }
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
        const int64_t from = self.recordFrom_.load(std::memory_order_acquire);
        for (int c = 0; c < 2; ++c) {
            auto* feed = static_cast<float*>(jack_port_get_buffer(self.feed_[c], n));
            std::fill_n(feed, n, 0.0f);
            if (from >= 0 && static_cast<uint64_t>(from) >= start && static_cast<uint64_t>(from) < start + n)
                feed[from - static_cast<int64_t>(start)] = 0.5f;
        }
        size_t done = self.recorded_.load(std::memory_order_relaxed);
        if (from >= 0 && done < kRecordFrames) {
            const auto* l = static_cast<const float*>(jack_port_get_buffer(self.record_[0], n));
            const auto* r = static_cast<const float*>(jack_port_get_buffer(self.record_[1], n));
            for (jack_nframes_t i = 0; i < n && done < kRecordFrames; ++i) {
                if (static_cast<int64_t>(start + i) < from) continue;
                self.take_[0][done] = l[i];
                self.take_[1][done] = r[i];
                ++done;
            }
            self.recorded_.store(done, std::memory_order_release);
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

    jack_client_t* client_ = nullptr;
    jack_port_t* feed_[2] = {};
    jack_port_t* record_[2] = {};
    jack_port_t* midi_ = nullptr;
    std::atomic<uint64_t> frames_{0};
    std::atomic<int64_t> recordFrom_{-1};
    std::atomic<size_t> recorded_{0};
    std::array<std::vector<float>, 2> take_{std::vector<float>(kRecordFrames), std::vector<float>(kRecordFrames)};
    std::array<std::array<uint8_t, 3>, 16> midiQueue_{};
    std::atomic<uint32_t> midiWrite_{0}, midiRead_{0};
    uint64_t lastSend_ = 0;  // test thread only
};

uint32_t deviceNamed(const std::vector<AudioDeviceInfo>& devices) {
    for (const auto& d : devices)
        if (d.name.find(kClientName) != std::string::npos) return d.ID;
    return 0;
}

double param(clap_id id) {
    double value = -1;
    const auto proxy = getMainPlugin();
    proxy->extParams->get_value(proxy->instance, id, &value);
    return value;
}

TEST(JackEndToEnd, TheEchoComesBackAndMidiTurnsTheTimeKnob) {
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    const auto apis = AudioLibrary::getCompiledApi();
    if (std::find(apis.begin(), apis.end(), AudioApi::UnixJack) == apis.end()) GTEST_SKIP() << "no JACK in RtAudio";
    JackRig rig;
    if (!rig.open()) GTEST_SKIP() << "no JACK server running";

    char pattern[] = "/tmp/lumivex-jack-XXXXXX";
    const fs::path data = ::mkdtemp(pattern);
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", data.c_str(), 1);
    char arg0[] = "Lumivex";
    char* argv[] = {arg0, nullptr};
    ASSERT_NE(mainCreatePlugin(&clap_entry, "com.quendry.lumivex", 0, 1, argv), nullptr);

    StandaloneHost& host = *getStandaloneHost();
    std::vector<std::string> errors;
    host.displayError = [&](const std::string& m) { errors.push_back(m); };
    host.midiApi = MidiApi::UnixJack;
    host.setAudioApi(AudioApi::UnixJack);
    const uint32_t device = deviceNamed(host.getInputAudioDevices());
    ASSERT_NE(device, 0u);
    EXPECT_EQ(deviceNamed(host.getOutputAudioDevices()), device);
    host.startupSelection = {true, device, device, static_cast<int32_t>(rig.rate())};
    mainStartAudio();
    ASSERT_TRUE(host.rtaDac->isStreamRunning()) << (errors.empty() ? "" : errors.front());
    EXPECT_EQ(host.streamInputChannels, 2u);
    EXPECT_EQ(host.streamOutputChannels, 2u);
    EXPECT_EQ(host.numMIDIPorts, 1u);

    // MIDI control changes on any channel turn the knobs: the modulation off and
    // the tone fully open, so that the echo is a clean copy of the click.
    EXPECT_DOUBLE_EQ(param(kPot0), 0.5);
    // Control changes are absolute, so each is sent again every few JACK cycles until
    // it has arrived: a message sent while the server still wires the new ports up
    // may be lost without that being a fault of the host.
    EXPECT_TRUE(satest::eventually([&] {
        rig.sendMidiEvery(1024, {{0xB0, 53, 0}, {0xB5, 54, 127}});
        return param(kPot3) == 0.0 && param(kPot4) == 1.0;
    }));

    // Two seconds for the knobs' smoothing to settle, then the click.
    const uint64_t settled = rig.frames() + 2 * rig.rate();
    ASSERT_TRUE(satest::eventually([&] { return rig.frames() >= settled; }));
    rig.clickAndRecord(rig.frames() + 1024);
    ASSERT_TRUE(satest::eventually([&] { return rig.recordingDone(); }));
    for (const auto& channel : rig.recording()) {
        const size_t dry = loudest(channel, 0, 4096);
        EXPECT_GT(std::fabs(channel[dry]), 0.2) << "the dry click comes through";
        const size_t echo = loudest(channel, dry + kEchoFrames / 2, dry + kEchoFrames * 3 / 2);
        EXPECT_EQ(echo - dry, static_cast<size_t>(kEchoFrames)) << "the first repeat at the Time setting";
        EXPECT_GT(std::fabs(channel[echo]), 0.2) << "the first repeat";
    }

    EXPECT_TRUE(satest::eventually([&] {
        rig.sendMidiEvery(1024, {{0xB0, 50, 0}});
        return param(kPot0) == 0.0;
    })) << param(kPot0);
    EXPECT_TRUE(satest::eventually([&] {
        rig.sendMidiEvery(1024, {{0xB3, 50, 127}});
        return param(kPot0) == 1.0;
    })) << param(kPot0);

    mainFinish();
    EXPECT_TRUE(errors.empty()) << errors.front();
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(data);
}

}  // namespace
