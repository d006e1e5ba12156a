// An audio server that goes away under a running stream.
#include <gtest/gtest.h>

#include "host_fixture.h"
#include "standalone/audio_error_text.h"

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
        ASSERT_TRUE(eventually([&] { return !host->rtaDac->stream.isRunning(); }));
    }
};

TEST_F(ServerLoss, TheStreamTheLibraryEndedIsNoticedOnceNeverStoppedAgainAndTheNextStartPlays) {
    FakePlugin& p = attach();
    std::vector<std::string> shown;
    host->displayError = [&](const std::string& m) { shown.push_back(m); };
    ASSERT_NO_FATAL_FAILURE(startOn(AudioApi::UnixJack, MidiApi::LinuxAlsa));
    ASSERT_NO_FATAL_FAILURE(loseTheServer());
    EXPECT_EQ(host->rtaDac->stream.state(), StreamState::EndedByLibrary);
    host->noticeStreamEnd();
    host->deliverQueuedAudioErrors();
    EXPECT_EQ(shown, (std::vector<std::string>{kAudioServerStoppedText})) << "told once";
    host->stopAudioThread();
    EXPECT_EQ(audio.stops + audio.aborts + audio.closes, 0) << "the library's closed stream is left alone";

    host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
    const uint64_t before = p.blocks.load();
    EXPECT_TRUE(eventually([&] { return p.blocks.load() > before; })) << "plays again";
}

// Deleting an input of a JACK server that went would call into its dead client.
TEST_F(ServerLoss, MidiInputsOfTheLostJackServerAreNeverDeletedAndFreshOnesComeWithTheNextStream) {
    attach();
    ASSERT_NO_FATAL_FAILURE(startOn(AudioApi::UnixJack, MidiApi::UnixJack));
    ASSERT_NO_FATAL_FAILURE(loseTheServer());
    const auto first = midi.opened.at(0);
    host->stopMIDIThread();  // quit, before any timer tick noticed
    EXPECT_TRUE(first->alive);

    host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
    ASSERT_EQ(midi.opened.size(), 2u) << "every port present now is opened again";
    midi.opened[1]->send({0xB0, 51, 0});
    EXPECT_EQ(host->midiRing.waiting(), 1u);
    host->stopAudioThread();
    host->stopMIDIThread();
    EXPECT_FALSE(midi.opened[1]->alive) << "those of a live server are deleted";
    EXPECT_TRUE(first->alive);
}

}  // namespace
