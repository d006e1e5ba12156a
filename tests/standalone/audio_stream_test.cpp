// Opening, restarting and stopping the host's stream on a fake audio library:
// rates, channel counts, defaults, activation, the stop protocol and audio errors.
#include <gtest/gtest.h>

#include "host_fixture.h"
#include "standalone/audio_error_text.h"

namespace {

using namespace satest;

struct AudioStream : HostFixture {
    AudioStream() {
        // Positions 0, 1, 2 are device ids 1, 2, 3.
        audio.devices = {{"Interface", 2, 2, {44100, 48000, 96000}, 48000},
                         {"Mic", 1, 0, {44100}, 44100},
                         {"Quad", 4, 4, {48000}, 48000}};
        audio.defaultInput = 1;
        audio.defaultOutput = 0;
    }
    const FakeAudioSystem::Open& lastOpen() { return audio.opens.back(); }
    bool streamRuns() { return host->rtaDac != nullptr && host->rtaDac->stream.isRunning(); }
};

TEST_F(AudioStream, RateIsTheOneAskedWhenTheOutputListsItElseAPreferredOne) {
    attach();
    const struct {
        uint32_t input;
        bool useInput;
        uint32_t output;
        bool useOutput;
        int32_t asked;
        int32_t expected;
    } cases[] = {
        {2, true, 1, true, -1, 48000},     // the output's preferred rate
        {2, true, 1, true, 96000, 96000},  // listed by the output, not by the input
        {2, true, 1, true, 22050, 48000},  // not listed by the output
        {2, true, 0, false, -1, 44100},    // no output: the input's preferred rate
        {0, false, 0, false, -1, 48000},   // neither
    };
    for (const auto& c : cases) {
        host->startAudioThreadOn(c.input, 2, c.useInput, c.output, 2, c.useOutput, c.asked);
        EXPECT_EQ(host->streamSampleRate, c.expected) << c.asked;
        if (c.useInput || c.useOutput) {
            EXPECT_EQ(lastOpen().rate, static_cast<unsigned int>(c.expected));
        }
        host->stopAudioThread();
    }
}

TEST_F(AudioStream, FirstOpenAsksFor256FramesAndActivatesWithTwiceWhatTheLibraryChose) {
    FakePlugin& p = attach();
    audio.chosenFrames = 300;
    host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
    EXPECT_EQ(lastOpen().framesAsked, 256u);
    EXPECT_EQ(lastOpen().options.flags, kAudioScheduleRealtime);
    EXPECT_EQ(lastOpen().options.numberOfBuffers, 0u);
    EXPECT_EQ(host->bufferFrames, 300u);
    EXPECT_EQ(p.activatedRate, 48000);
    EXPECT_EQ(p.activatedMin, 1u);
    EXPECT_EQ(p.activatedMax, 600u);
    EXPECT_TRUE(streamRuns());
    host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
    EXPECT_EQ(lastOpen().framesAsked, 300u) << "later opens ask for the size chosen before";
}

TEST_F(AudioStream, ChannelsAreCappedByTheDeviceAndDirectionsLeftOutHaveNone) {
    attach();
    host->startAudioThreadOn(2, 2, true, 3, 2, true, 48000);
    EXPECT_EQ(lastOpen().input.nChannels, 1u);
    EXPECT_EQ(host->streamInputChannels, 1u);
    EXPECT_EQ(host->streamOutputChannels, 2u) << "two of the four";
    host->startAudioThreadOn(2, 2, false, 3, 2, true, 48000);
    EXPECT_FALSE(lastOpen().hasInput);
    EXPECT_EQ(host->streamInputChannels, 0u);
    EXPECT_EQ(host->currentInputDevice, 2u);
    EXPECT_FALSE(host->inputEnabled);
}

TEST_F(AudioStream, RestartSilencesStopsAndReactivatesBeforeTheNewStreamStarts) {
    FakePlugin& p = attach();
    host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
    ASSERT_TRUE(eventually([&] { return audio.streamThreadBlocks.load() > 0; }));
    host->startAudioThreadOn(2, 2, true, 3, 2, true, 48000);
    EXPECT_EQ(p.calls, (std::vector<std::string>{"init", "activate", "start_processing", "stop_processing",
                                                 "deactivate", "activate", "start_processing"}));
    EXPECT_EQ(audio.aborts, 1) << "silenced first, so nothing waits for a drain";
    EXPECT_EQ(audio.stops, 0);
    EXPECT_EQ(audio.closes, 1);
    EXPECT_EQ(audio.opens.size(), 2u);
    EXPECT_TRUE(host->running.load());
    EXPECT_FALSE(host->stopAcknowledged.load());
    EXPECT_TRUE(streamRuns());
    const int before = audio.streamThreadBlocks.load();
    EXPECT_TRUE(eventually([&] { return p.blocks.load() > 1 && audio.streamThreadBlocks.load() > before; }));
}

TEST_F(AudioStream, StopSilencesAndClosesAndProcessingStaysOff) {
    FakePlugin& p = attach();
    host->stopAudioThread();  // nothing running: nothing changes
    EXPECT_TRUE(host->running.load());
    host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
    ASSERT_TRUE(eventually([&] { return p.blocks.load() > 0; }));
    host->stopAudioThread();
    EXPECT_FALSE(host->running.load());
    EXPECT_TRUE(host->stopAcknowledged.load());
    EXPECT_FALSE(host->rtaDac->stream.isOpen());
    EXPECT_EQ(audio.lastOutput, std::vector<float>(audio.lastOutput.size(), 0.0f)) << "the last blocks are silent";
    host->stopAudioThread();
    EXPECT_EQ(audio.aborts, 1);
    EXPECT_EQ(audio.stops, 0) << "a stop would wait for a drain that may never be signalled";
}

TEST_F(AudioStream, AStreamTheLibraryStoppedIsClosedBeforeTheNextOpen) {
    FakePlugin& p = attach();
    std::vector<std::string> shown;
    host->displayError = [&](const std::string& m) { shown.push_back(m); };
    host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
    audio.streamFailure = kAudioDeviceDisconnect;
    ASSERT_TRUE(eventually([&] { return !streamRuns(); }));
    ASSERT_TRUE(host->rtaDac->stream.isOpen());
    host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
    host->deliverQueuedAudioErrors();
    EXPECT_EQ(shown, (std::vector<std::string>{kDeviceDisconnectedText})) << "told once, no \"already open\" error";
    EXPECT_EQ(audio.opens.size(), 2u) << "opened at the first try";
    const uint64_t before = p.blocks.load();
    EXPECT_TRUE(eventually([&] { return p.blocks.load() > before; }));
}

// RtAudio 5 aborts a running stream on any error of the object that holds it, a
// failed probe included.
TEST_F(AudioStream, ALookAtTheDevicesWhoseProbesFailLeavesTheStreamRunningAndShowsNothing) {
    FakePlugin& p = attach();
    std::vector<std::string> shown;
    host->displayError = [&](const std::string& m) { shown.push_back(m); };
    host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
    for (const int failing : {1, 1000}) {  // once: looked at again; at every try: the snapshot before stands
        audio.invalidProbes = failing;
        EXPECT_EQ(host->refreshAudioDevices(), failing == 1);
        EXPECT_EQ(host->getOutputAudioDevices().size(), 2u);
    }
    host->deliverQueuedAudioErrors();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(audio.aborts, 0);
    const uint64_t before = p.blocks.load();
    EXPECT_TRUE(eventually([&] { return p.blocks.load() > before; }));
}

TEST_F(AudioStream, DeactivationUndoesOnlyWhatThePluginStarted) {
    FakePlugin& p = attach();
    host->deactivatePlugin();  // never activated: nothing to undo
    host->activatePlugin(48000, 1, 512);
    host->deactivatePlugin();
    EXPECT_TRUE(p.audioDuringStop) << "stop_processing counts as the audio thread";
    host->deactivatePlugin();  // a second time: nothing
    p.config.startProcessingResult = false;
    host->activatePlugin(48000, 1, 512);
    host->activatePlugin(48000, 1, 512);
    EXPECT_EQ(p.calls, (std::vector<std::string>{"init", "activate", "start_processing", "stop_processing",
                                                 "deactivate", "activate", "start_processing", "deactivate",
                                                 "activate", "start_processing"}));
}

TEST_F(AudioStream, StopGivesUpOnAStreamThatNeverAcknowledgesAndClosesItAnyway) {
    attach();
    audio.runBlocks = false;
    host->stopPollLimit = 3;
    host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
    host->stopAudioThread();
    EXPECT_FALSE(host->stopAcknowledged.load());
    EXPECT_EQ(audio.closes, 1);
    EXPECT_FALSE(streamRuns());
}

TEST_F(AudioStream, StartupSelectionLeavesOutDirectionsWithoutDeviceOrPort) {
    attach();
    host->startupSelection = {true, 0, 1, 44100};
    host->startAudioThread();
    EXPECT_FALSE(lastOpen().hasInput);
    EXPECT_TRUE(lastOpen().hasOutput);
    EXPECT_EQ(lastOpen().rate, 44100u);
    host->startupSelection = {true, 2, 0, 44100};
    host->startAudioThread();
    EXPECT_TRUE(lastOpen().hasInput);
    EXPECT_FALSE(lastOpen().hasOutput);
}

TEST_F(AudioStream, DefaultStartUsesTheDefaultDevicesAtTheOutputsCurrentRate) {
    world.config.audioInputs = 0;  // a plug-in without input ports asks for no input
    attach();
    EXPECT_EQ(host->getDefaultAudioInOutSampleRate(), std::make_tuple(2u, 1u, 48000));
    host->startAudioThread();
    EXPECT_FALSE(lastOpen().hasInput);
    EXPECT_EQ(lastOpen().output.deviceId, 0u);
    EXPECT_EQ(lastOpen().rate, 48000u);
}

TEST_F(AudioStream, DeviceListsHoldTheDevicesWithChannelsThatWay) {
    auto names = [](const std::vector<AudioDeviceInfo>& list) {
        std::vector<std::string> n;
        for (const auto& d : list) n.push_back(d.name);
        return n;
    };
    EXPECT_EQ(names(host->getInputAudioDevices()), (std::vector<std::string>{"Interface", "Mic", "Quad"}));
    EXPECT_EQ(names(host->getOutputAudioDevices()), (std::vector<std::string>{"Interface", "Quad"}));
    host->currentInputDevice = 2;
    EXPECT_EQ(host->getSampleRates(), (std::vector<int32_t>{44100}));
}

TEST_F(AudioStream, FailedOpenLeavesAudioOffAndThePluginAsItWas) {
    FakePlugin& p = attach();
    std::vector<std::string> shown;
    host->displayError = [&](const std::string& m) { shown.push_back(m); };
    audio.openFailure = kAudioSystemError;
    host->startAudioThreadOn(1, 2, true, 1, 2, true, 96000);
    EXPECT_EQ(shown, (std::vector<std::string>{kNoAudioDeviceText}));
    EXPECT_EQ(p.calls, (std::vector<std::string>{"init"}));
    EXPECT_EQ(host->streamSampleRate, 96000);
    EXPECT_EQ(host->currentOutputDevice, 1u);
    EXPECT_FALSE(host->rtaDac->stream.isOpen());
}

TEST_F(AudioStream, ErrorsAreShownInPlainWordsOnTheMainThreadAndQueuedFromOtherThreads) {
    std::vector<std::string> shown;
    host->displayError = [&](const std::string& m) { shown.push_back(m); };
    testing::internal::CaptureStderr();
    rtaErrorCallback(*host, kAudioWarning, "a warning");
    rtaErrorCallback(*host, kAudioUnknownError, "unknown");
    rtaErrorCallback(*host, kAudioInvalidUse, "AudioLibrary::openStream: input and output parameters are both missing");
    rtaErrorCallback(*host, kAudioInvalidParameter, "AudioLibrary::getDeviceInfo: device id 5 not found");
    EXPECT_EQ(shown, (std::vector<std::string>{kNoAudioDeviceText, kDeviceGoneText}));
    std::thread([&] {
        rtaErrorCallback(*host, kAudioDeviceDisconnect, "from the stream");
        rtaErrorCallback(*host, kAudioWarning, "dropped");
    }).join();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Audio: AudioLibrary::openStream: input and output parameters are both missing\n"
              "Audio: AudioLibrary::getDeviceInfo: device id 5 not found\nAudio: from the stream\n")
        << "the library's words go to standard error";
    EXPECT_EQ(shown.size(), 2u) << "not shown from the other thread";
    EXPECT_EQ(host->deliverQueuedAudioErrors(), 1u);
    EXPECT_EQ(shown.back(), kDeviceDisconnectedText);
    std::thread([&] {
        for (int i = 0; i < 20; ++i) host->reportAudioError(std::string(600, 'x'));
    }).join();
    EXPECT_EQ(host->deliverQueuedAudioErrors(), StandaloneHost::kAudioErrorQueueSize - 1) << "the rest dropped";
    EXPECT_EQ(shown.back().size(), sizeof(StandaloneHost::QueuedAudioError::text)) << "cut to the entry";
}

}  // namespace
