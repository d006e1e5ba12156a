// An audio server that goes away under a running stream, or cancels a thread of
// the host's in the middle of a MIDI delivery.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

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
    host->stopAudioThread();  // so that no block takes the message before it is counted
    midi.opened[1]->send({0xB0, 51, 0});
    EXPECT_EQ(host->midiRing.waiting(), 1u);
    host->stopMIDIThread();
    EXPECT_FALSE(midi.opened[1]->alive) << "those of a live server are deleted";
    EXPECT_TRUE(first->alive);
}

// libjack cancels its clients' threads, asynchronously, when its server dies, and
// RtMidi's JACK input delivers on one. The message lies on a page the delivery
// cannot read until the test has cancelled the thread: its first look at the
// message stops it there, so the cancellation lands in the middle of the delivery.
struct HeldDelivery {
    static inline char* page = nullptr;
    static inline std::atomic<bool> entered{false}, cancelled{false}, returned{false};
    static void onFault(int, siginfo_t* info, void*) {
        const auto at = reinterpret_cast<uintptr_t>(info->si_addr) - reinterpret_cast<uintptr_t>(page);
        if (at >= static_cast<uintptr_t>(::getpagesize())) ::abort();  // not the message's
        entered = true;
        while (!cancelled.load()) {
        }
        ::mprotect(page, ::getpagesize(), PROT_READ | PROT_WRITE);
    }
    static void* deliver(void* host) {
        pthread_setcanceltype(PTHREAD_CANCEL_ASYNCHRONOUS, nullptr);  // as libjack's threads
        StandaloneHost::midiCallback(0.0, reinterpret_cast<std::vector<unsigned char>*>(page), host);
        returned = true;
        return nullptr;
    }
};

TEST_F(ServerLoss, ACancellationDuringAMidiDeliveryActsAtItsEndAndUnwindsOnlyThroughTheLibrary) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's thread teardown reads stack left poisoned by a cancellation's unwind "
                    "and reports it falsely";
#endif
    HeldDelivery::page = static_cast<char*>(
        ::mmap(nullptr, ::getpagesize(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    auto* message = new (HeldDelivery::page) std::vector<unsigned char>{0x90, 60, 100};
    struct sigaction held{}, old{};
    held.sa_sigaction = HeldDelivery::onFault;
    held.sa_flags = SA_SIGINFO;
    ::sigaction(SIGSEGV, &held, &old);
    ::mprotect(HeldDelivery::page, ::getpagesize(), PROT_NONE);
    pthread_t thread{};
    ASSERT_EQ(pthread_create(&thread, nullptr, HeldDelivery::deliver, host), 0);
    ASSERT_TRUE(eventually([] { return HeldDelivery::entered.load(); }));
    ASSERT_EQ(pthread_cancel(thread), 0);
    HeldDelivery::cancelled = true;
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    ::sigaction(SIGSEGV, &old, nullptr);
    ::mprotect(HeldDelivery::page, ::getpagesize(), PROT_READ | PROT_WRITE);  // unless the fault handler did
    EXPECT_EQ(host->midiRing.waiting(), 1u) << "the message was delivered whole";
    EXPECT_FALSE(HeldDelivery::returned) << "and the thread ended as the callback switched cancellation back on";
    message->~vector();
    ::munmap(HeldDelivery::page, ::getpagesize());
}

// A JACK call stuck for good may hold the lock that every JACK client's open and
// close takes: no JACK MIDI input is opened then, and quit leaves those open
// rather than wait for it.
TEST_F(ServerLoss, JackMidiInputsAreNeitherOpenedNorClosedWhileAJackCallIsStuck) {
    attach();
    host->libraryAnswerBound = std::chrono::milliseconds(1000);
    ASSERT_NO_FATAL_FAILURE(startOn(AudioApi::UnixJack, MidiApi::UnixJack));
    audio.lookupsHang = true;
    host->refreshAudioDevices();
    host->stopAudioThread();
    host->stopMIDIThread();
    EXPECT_TRUE(midi.opened.at(0)->alive);
    host->startMIDIThread();  // as when a stream starts again after a lost server
    EXPECT_EQ(midi.opened.size(), 1u);
}

}  // namespace
