// An audio server that goes away under a running stream.
#include <gtest/gtest.h>

#include "host_fixture.h"

namespace {

using namespace satest;

struct ServerLoss : HostFixture {
    ServerLoss() { audio.devices = {{"system", 2, 2, {48000}, 48000}}; }

    void startOn(AudioApi audioApi, MidiApi midiApi) {
        audio.api = audioApi;
        midi.ports = {{midiApi, 1}};
        host->startMIDIThread();
        host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
        ASSERT_TRUE(eventually([&] { return audio.streamThreadBlocks.load() > 0; }));
    }
    void loseTheServer() {
        audio.serverGoes = true;
        ASSERT_TRUE(eventually([&] { return !host->rtaDac->isStreamOpen(); }));
    }
};

TEST_F(ServerLoss, TheStreamTheLibraryEndedIsNoticedOnceNeverStoppedAgainAndTheNextStartPlays) {
    FakePlugin& p = attach();
    ASSERT_NO_FATAL_FAILURE(startOn(AudioApi::UnixJack, MidiApi::LinuxAlsa));
    EXPECT_FALSE(host->takeLostStream());
    ASSERT_NO_FATAL_FAILURE(loseTheServer());
    EXPECT_TRUE(host->takeLostStream());
    EXPECT_FALSE(host->takeLostStream()) << "told once";
    host->stopAudioThread();
    EXPECT_EQ(audio.stops + audio.aborts + audio.closes, 0) << "the library's closed stream is left alone";

    host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
    const uint64_t before = p.blocks.load();
    EXPECT_TRUE(eventually([&] { return p.blocks.load() > before; })) << "plays again";
}

// Deleting an input of a server that went would call into its dead client.
TEST_F(ServerLoss, MidiInputsOfTheLostJackServerAreNeverDeletedAndFreshOnesComeWithTheNextStream) {
    const struct {
        AudioApi audio;
        MidiApi midi;
        bool setAside;
    } cases[] = {
        {AudioApi::UnixJack, MidiApi::UnixJack, true},
        {AudioApi::UnixJack, MidiApi::LinuxAlsa, false},  // another server
        {AudioApi::Dummy, MidiApi::UnixJack, false},      // the stream was not on JACK
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.audio) * 10 + static_cast<int>(c.midi));
        standaloneHost = std::make_unique<StandaloneHost>();
        host = standaloneHost.get();
        host->audioBackendFactory = audio.factory();
        host->midiSystem = &midi;
        midi.opened.clear();
        attach();
        ASSERT_NO_FATAL_FAILURE(startOn(c.audio, c.midi));
        ASSERT_NO_FATAL_FAILURE(loseTheServer());
        const auto first = midi.opened.at(0);
        host->stopMIDIThread();  // quit, before any timer tick noticed
        EXPECT_EQ(first->alive, c.setAside);
        if (!c.setAside) continue;

        host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
        ASSERT_EQ(midi.opened.size(), 2u) << "every port present now is opened again";
        midi.opened[1]->send({0xB0, 51, 0});
        EXPECT_EQ(host->midiRing.waiting(), 1u);
        host->stopMIDIThread();
        EXPECT_TRUE(first->alive);
    }
}

}  // namespace
