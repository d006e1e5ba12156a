// An audio server that goes away under a running stream, or cancels the stream's
// thread in the middle of a block.
#include <gtest/gtest.h>
#include <pthread.h>

#include "host_fixture.h"

namespace {

using namespace satest;

struct ServerLoss : HostFixture {
    ServerLoss() { audio.devices = {{"system", 2, 2, {48000}, 48000}}; }

    // A host on this audio API with one MIDI port on that MIDI API, running.
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
    EXPECT_FALSE(host->takeLostStream()) << "a running stream is not lost";
    ASSERT_NO_FATAL_FAILURE(loseTheServer());
    EXPECT_TRUE(host->takeLostStream());
    EXPECT_FALSE(host->takeLostStream()) << "told once";
    EXPECT_FALSE(host->running.load());
    host->stopAudioThread();
    EXPECT_EQ(audio.stops + audio.closes, 0) << "the library's closed stream is left alone";

    host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
    EXPECT_EQ(audio.opens.size(), 2u);
    const uint64_t before = p.blocks.load();
    EXPECT_TRUE(eventually([&] { return p.blocks.load() > before; })) << "plays again";
    host->stopAudioThread();
    EXPECT_FALSE(host->takeLostStream()) << "a stop of the host's own is no loss";
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
        host->stopAudioThread();
        host->stopMIDIThread();
        EXPECT_FALSE(midi.opened[1]->alive);
        EXPECT_TRUE(first->alive) << "never called again";
    }
    // Nor when the host goes without a quit having looked.
    ASSERT_NO_FATAL_FAILURE(startOn(AudioApi::UnixJack, MidiApi::UnixJack));
    ASSERT_NO_FATAL_FAILURE(loseTheServer());
    const auto last = midi.opened.back();
    standaloneHost.reset();
    EXPECT_TRUE(last->alive);
}

// libjack cancels the stream's thread, asynchronously, when its server dies.
struct SlowBlock {
    static inline std::atomic<bool> entered{false}, release{false}, finished{false};
    static clap_process_status process(const clap_plugin*, const clap_process*) {
        entered = true;
        while (!release.load()) {
        }
        finished = true;
        return CLAP_PROCESS_CONTINUE;
    }
};

TEST_F(ServerLoss, ACancellationDuringABlockActsAtItsEndAndUnwindsOnlyThroughTheLibrary) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's thread teardown reads stack left poisoned by a cancellation's unwind "
                    "and reports it falsely";
#endif
    FakePlugin& p = attach();
    p.plugin.process = SlowBlock::process;
    host->streamOutputChannels = 2;
    struct Run {
        StandaloneHost* host;
        std::vector<float> out = std::vector<float>(512);
        bool returned = false;
    } run{host};
    pthread_t thread{};
    ASSERT_EQ(pthread_create(
                  &thread, nullptr,
                  [](void* arg) -> void* {
                      pthread_setcanceltype(PTHREAD_CANCEL_ASYNCHRONOUS, nullptr);  // as libjack's threads
                      auto& r = *static_cast<Run*>(arg);
                      rtaCallback(r.out.data(), nullptr, 256, 0.0, 0, r.host);
                      r.returned = true;
                      return nullptr;
                  },
                  &run),
              0);
    ASSERT_TRUE(eventually([] { return SlowBlock::entered.load(); }));
    ASSERT_EQ(pthread_cancel(thread), 0);
    SlowBlock::release = true;
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    EXPECT_TRUE(SlowBlock::finished) << "the block ran to its end";
    EXPECT_FALSE(run.returned) << "and the thread ended as the callback switched cancellation back on";
    EXPECT_EQ(host->processLock.load(), 0) << "the block's lock is free";
}

}  // namespace
