// The standalone host on a real JACK server: a small JACK client of the test feeds
// a click into the host's input ports, records its output ports and sends MIDI
// control changes; the firmware's echo must come back, and POT0 must follow the
// MIDI. Skipped when no JACK server runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "audio_measures.h"
#include "eventually.h"
#include "jack_rig.h"
#include "standalone/lifecycle.h"

namespace {

using namespace brevlin::clap_host::standalone;
namespace fs = std::filesystem;
using testsupport::JackRig;
using testsupport::loudest;

constexpr char kClientName[] = "lumivex-e2e";
constexpr int64_t kEchoFrames = 8700;  // the echo's Time knob at its default of 0.5
constexpr clap_id kPot0 = 100;  // Time
constexpr clap_id kPot3 = 103;  // Mod
constexpr clap_id kPot4 = 104;  // Tone

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
    JackRig rig(kClientName);
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
    ASSERT_TRUE(host.rtaDac->stream.isRunning()) << (errors.empty() ? "" : errors.front());
    EXPECT_EQ(host.streamInputChannels, 2u);
    EXPECT_EQ(host.streamOutputChannels, 2u);
    EXPECT_EQ(host.numMIDIPorts, 1u);
    // With the stream's client on the server, the lists hold the test's client and
    // not the host's own.
    host.refreshAudioDevices();
    for (const auto& list : {host.getInputAudioDevices(), host.getOutputAudioDevices()}) {
        EXPECT_EQ(deviceNamed(list), device);
        for (const auto& d : list) EXPECT_FALSE(d.name.starts_with("Lumivex-")) << d.name;
    }

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
    rig.clickSoonAndRecord();
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
