// The audio adapter over a positional, throwing backend: device ids, device
// records, defaults, looks that fail or never answer, and open errors that arrive
// as typed reports instead of throws.
#include <gtest/gtest.h>

#include "fake_audio.h"
#include "standalone/audio_library.h"

namespace {

using namespace satest;

AudioErrorType look(AudioLibrary& lib) {
    std::string message;
    return lib.devices.refreshDevices(false, message);
}
bool refresh(AudioLibrary& lib) { return look(lib) == kAudioNoError; }

struct AudioLibraryTest : ::testing::Test {
    FakeAudioSystem system;
    std::vector<std::pair<AudioErrorType, std::string>> errors;

    // With the first snapshot taken, as the host's first query takes it.
    std::unique_ptr<AudioLibrary> make() {
        auto lib = std::make_unique<AudioLibrary>(
            AudioApi::Dummy, [this](AudioErrorType t, const std::string& m) { errors.push_back({t, m}); },
            system.factory(), std::chrono::milliseconds(5000));
        refresh(*lib);
        return lib;
    }
};



TEST_F(AudioLibraryTest, DevicesAreNumberedFromOneAndKeepTheirIdsWhenOthersAppear) {
    system.devices = {{"Mic", 1, 0, {44100, 48000}, 48000}, {"Speakers", 0, 2, {48000}, 48000}};
    auto lib = make();
    EXPECT_EQ(lib->devices.getDeviceIds(), (std::vector<unsigned int>{1, 2}));
    system.devices.insert(system.devices.begin(), {"Interface", 2, 2, {96000}, 96000});
    system.devices.push_back({"Mic", 1, 0, {48000}, 48000});  // a second device of the same name
    EXPECT_EQ(lib->devices.getDeviceIds(), (std::vector<unsigned int>{1, 2})) << "the snapshot stays until refreshed";
    refresh(*lib);
    EXPECT_EQ(lib->devices.getDeviceIds(), (std::vector<unsigned int>{3, 1, 2, 4}));
    EXPECT_EQ(lib->devices.getDeviceNames(), (std::vector<std::string>{"Interface", "Mic", "Speakers", "Mic"}));
    system.devices.erase(system.devices.begin());
    refresh(*lib);
    EXPECT_EQ(lib->devices.getDeviceIds(), (std::vector<unsigned int>{1, 2, 4}));
    EXPECT_TRUE(errors.empty());
}

TEST_F(AudioLibraryTest, ADeviceKeepsItsIdWhenAnotherOfItsNameGoesOrItIsBusy) {
    system.devices = {{"USB Audio", 2, 2, {48000}, 48000}, {"USB Audio", 8, 8, {48000}, 48000}};
    auto lib = make();
    EXPECT_EQ(lib->devices.getDeviceIds(), (std::vector<unsigned int>{1, 2}));
    const FakeDevice first = system.devices[0];
    system.devices.erase(system.devices.begin());
    refresh(*lib);
    EXPECT_EQ(lib->devices.getDeviceIds(), (std::vector<unsigned int>{2}));
    EXPECT_EQ(lib->devices.getDeviceInfo(1).ID, 0u) << "the id of the device that went names no other";
    system.devices[0].probed = false;  // busy in another program: no layout to see
    refresh(*lib);
    EXPECT_EQ(lib->devices.getDeviceIds(), (std::vector<unsigned int>{2}));
    system.devices[0].probed = true;
    system.devices[0].inputs = 6;  // reconfigured
    refresh(*lib);
    EXPECT_EQ(lib->devices.getDeviceIds(), (std::vector<unsigned int>{2}));
    system.devices.insert(system.devices.begin(), first);
    refresh(*lib);
    EXPECT_EQ(lib->devices.getDeviceIds(), (std::vector<unsigned int>{1, 2}));
}

TEST_F(AudioLibraryTest, RecordsCarryTheirIdAndTheirPreferredRateAsCurrent) {
    system.devices = {{"Mic", 1, 0, {44100, 48000}, 44100}};
    auto lib = make();
    const AudioDeviceInfo info = lib->devices.getDeviceInfo(1);
    EXPECT_EQ(info.ID, 1u);
    EXPECT_EQ(info.name, "Mic");
    EXPECT_EQ(info.inputChannels, 1u);
    EXPECT_EQ(info.currentSampleRate, 44100u);
    EXPECT_EQ(info.sampleRates, (std::vector<unsigned int>{44100, 48000}));
}

TEST_F(AudioLibraryTest, DefaultsAreDevicesWithChannelsInThatDirectionOrNone) {
    auto lib = make();
    EXPECT_EQ(lib->devices.getDefaultInputDevice(), 0u) << "no devices";
    system.devices = {{"Speakers", 0, 2, {48000}, 48000}, {"Mic", 1, 0, {48000}, 48000}};
    system.defaultInput = 0;  // what a library says when it knows no default
    system.defaultOutput = 0;
    refresh(*lib);
    EXPECT_EQ(lib->devices.getDefaultOutputDevice(), 1u);
    EXPECT_EQ(lib->devices.getDefaultInputDevice(), 2u);
    system.devices = {{"Speakers", 0, 2, {48000}, 48000}};
    refresh(*lib);
    EXPECT_EQ(lib->devices.getDefaultInputDevice(), 0u);
}

TEST_F(AudioLibraryTest, OpenStreamNamesDevicesByPositionAndFailuresComeBackTyped) {
    system.devices = {{"Mic", 1, 0, {48000}, 48000}, {"Speakers", 0, 2, {48000}, 48000}};
    auto lib = make();
    lib->devices.getDeviceIds();
    AudioStreamParameters out{2, 2, 0}, in{1, 1, 0};
    unsigned int frames = 256;
    auto callback = [](void*, void*, unsigned int, double, AudioStreamStatus, void*) { return 0; };
    EXPECT_EQ(lib->openStream(&out, &in, kAudioFloat32, 48000, &frames, callback), kAudioNoError);
    ASSERT_EQ(system.opens.size(), 1u);
    EXPECT_EQ(system.opens[0].output.deviceId, 1u);
    EXPECT_EQ(system.opens[0].input.deviceId, 0u);
    EXPECT_EQ(lib->openStream(&out, nullptr, kAudioFloat32, 48000, &frames, callback), kAudioInvalidUse);
    lib->stream.close();

    system.openFailure = kAudioSystemError;
    EXPECT_EQ(lib->openStream(&out, nullptr, kAudioFloat32, 48000, &frames, callback), kAudioSystemError);
    EXPECT_FALSE(lib->stream.isOpen());
    out.deviceId = 9;
    EXPECT_EQ(lib->openStream(&out, nullptr, kAudioFloat32, 48000, &frames, callback), kAudioInvalidParameter);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[1], std::make_pair(kAudioSystemError, std::string("the driver refuses")));
}

TEST_F(AudioLibraryTest, ABackendThatCannotBeMadeFailsTheLookQuietlyAndTheOpenIsReported) {
    system.failConstruction = true;
    system.devices = {{"Mic", 1, 0, {48000}, 48000}};
    auto lib = make();
    EXPECT_EQ(look(*lib), kAudioDriverError);
    EXPECT_TRUE(errors.empty()) << "a look reports nothing";
    EXPECT_TRUE(lib->devices.getDeviceIds().empty());
    AudioStreamParameters in{1, 1, 0};
    unsigned int frames = 256;
    EXPECT_NE(lib->openStream(nullptr, &in, kAudioFloat32, 48000, &frames, nullptr), kAudioNoError);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_FALSE(lib->stream.isRunning());
    system.failConstruction = false;
    EXPECT_TRUE(refresh(*lib)) << "an audio system that can be set up now is looked at afresh";
}

// Each case starts from a snapshot of the mic (id 1) and the speakers (id 2), then
// takes one more with the fault in it.
TEST_F(AudioLibraryTest, AFailedProbeNeitherShufflesIdsNorListsAPhantom) {
    const struct {
        const char* fault;
        int failedProbes, emptyCounts;
        bool newDevice;  // first in the list
        int dropAt;  // the probe before which the last device goes
        bool failsAtEveryTry;  // the first device probed fails at every enumeration
        std::vector<unsigned int> ids;
        int probes;
    } cases[] = {
        {"one probe fails: taken again", 1, 0, false, 0, false, {1, 2}, 6},
        {"it fails at every try: the record before", 0, 0, false, 0, true, {1, 2}, 9},
        {"the count fails: taken again", 0, 1, false, 0, false, {1, 2}, 4},
        {"a device goes between count and probe", 0, 0, false, 2, false, {1}, 5},
        {"a new device cannot be probed at any try: no id", 0, 0, true, 0, true, {1, 2}, 12},
    };
    for (const auto& c : cases) {
        FakeAudioSystem s;
        s.devices = {{"Mic", 1, 0, {48000}, 48000}, {"Speakers", 0, 2, {48000}, 48000}};
        AudioLibrary lib(AudioApi::Dummy, [&](AudioErrorType t, const std::string& m) { errors.push_back({t, m}); },
                         s.factory(), std::chrono::milliseconds(5000));
        ASSERT_TRUE(refresh(lib));
        s.failedProbes = c.failedProbes;
        s.emptyCounts = c.emptyCounts;
        if (c.newDevice) s.devices.insert(s.devices.begin(), {"Interface", 2, 2, {48000}, 48000});
        s.beforeProbe = [&](int probe) {
            if (probe == c.dropAt) s.devices.pop_back();
            if (c.failsAtEveryTry && probe % (s.devices.size() + 1) == 1) s.failedProbes = 1;  // at each count
        };
        s.probes = 0;
        EXPECT_TRUE(refresh(lib)) << c.fault;
        EXPECT_EQ(lib.devices.getDeviceIds(), c.ids) << c.fault;
        EXPECT_EQ(lib.devices.getDeviceInfo(1).inputChannels, 1u) << c.fault;
        EXPECT_EQ(s.probes, c.probes) << c.fault;
        EXPECT_TRUE(errors.empty()) << c.fault;
    }
}

TEST_F(AudioLibraryTest, AnOpenTheBackendRefusesIsLookedUpAndTriedOnceMore) {
    system.devices = {{"Mic", 1, 0, {48000}, 48000}, {"Speakers", 0, 2, {48000}, 48000}};
    auto lib = make();
    refresh(*lib);
    system.devices.erase(system.devices.begin());  // the speakers move up
    AudioStreamParameters out{2, 2, 0};
    unsigned int frames = 256;
    EXPECT_EQ(lib->openStream(&out, nullptr, kAudioFloat32, 48000, &frames, nullptr), kAudioNoError);
    EXPECT_EQ(system.opens.back().output.deviceId, 0u) << "at its new position";
    lib->stream.close();

    system.refusedOpens = 2;  // refused again after the second look
    EXPECT_EQ(lib->openStream(&out, nullptr, kAudioFloat32, 48000, &frames, nullptr), kAudioInvalidUse);
    EXPECT_EQ(errors.size(), 1u) << "reported once";
}

}  // namespace
