// The host object as the plug-in's host: its answers, the ports it records, and
// the timers and descriptors it serves through the main loop.
#include <gtest/gtest.h>

#include "host_fixture.h"
#include "standalone/manual_main_loop.h"

namespace {

using namespace satest;

using HostInterface = HostFixture;

TEST_F(HostInterface, AnswersOfAHostWithoutShellOrMainLoop) {
    StandaloneHost& h = *host;
    EXPECT_STREQ(h.host_get_name(), "CLAP-Standalone-Host");
    EXPECT_FALSE(h.gui_request_resize(100, 100)) << "the default handler";
    h.onRequestResize = nullptr;
    EXPECT_FALSE(h.gui_request_resize(100, 100)) << "an empty handler";
    EXPECT_FALSE(h.gui_can_resize()) << "no plug-in";
    clap_id id = 77;
    EXPECT_FALSE(h.register_timer(10, &id));
    EXPECT_EQ(id, 77u) << "not written";
    EXPECT_FALSE(h.unregister_timer(1));
    EXPECT_FALSE(h.register_fd(3, CLAP_POSIX_FD_READ));
    EXPECT_EQ(h.getBufferSizes(), (std::vector<int32_t>{16, 32, 48, 64, 96, 128, 144, 160, 192, 224, 256, 480, 512,
                                                        1024, 2048, 4096}));
    EXPECT_STREQ(h.host_get_name(), "CLAP-Standalone-Host");
}

TEST_F(HostInterface, RequestsFromAnyThreadSetTheirFlagsAndResizeGoesToTheShellsHandler) {
    FakePlugin& p = attach();
    p.host->request_restart(p.host);
    p.host->request_callback(p.host);
    EXPECT_TRUE(host->restartRequested.load());
    EXPECT_TRUE(host->callbackRequested.load());
    host->onRequestResize = [](uint32_t w, uint32_t h) { return w == 394 && h == 722; };
    EXPECT_TRUE(host->gui_request_resize(394, 722));
}

TEST_F(HostInterface, AudioPortsAreCountedWithTheirChannelsAndMainFlags) {
    world.config.audioInputs = 2;
    world.config.audioOutputs = 3;
    world.config.channelsPerPort = 1;
    attach();
    EXPECT_EQ(host->numAudioInputs, 2u);
    EXPECT_EQ(host->numAudioOutputs, 3u);
    EXPECT_EQ(host->inputChannelCounts, (std::vector<uint32_t>{1, 1}));
    EXPECT_EQ(host->totalOutputChannels, 3u);
    EXPECT_EQ(host->mainInput, 0);
    EXPECT_EQ(host->mainOutput, 0);
}

TEST_F(HostInterface, OnlyTheFirst32PortsAreServedInputsFirst) {
    world.config.audioInputs = 20;
    world.config.audioOutputs = 20;
    attach();
    EXPECT_EQ(host->numAudioInputs, 20u);
    EXPECT_EQ(host->numAudioOutputs, 12u);
    EXPECT_EQ(host->outputChannelCounts.size(), 12u);
}

TEST_F(HostInterface, NotePortDialectsOfInputZeroAndAnyOutputAreRecorded) {
    world.config.noteDialects = CLAP_NOTE_DIALECT_CLAP;
    world.config.noteOutputs = 1;
    attach();
    EXPECT_FALSE(host->hasMIDIInput);
    EXPECT_TRUE(host->hasClapNoteInput);
    EXPECT_TRUE(host->hasNoteOutput);
}

TEST_F(HostInterface, TimersRegisteredByThePluginFireThroughTheMainLoop) {
    world.config.extensions.insert(CLAP_EXT_TIMER_SUPPORT);
    FakePlugin& p = attach();
    satest::ManualMainLoop loop([&](clap_id id) { host->dispatchTimer(id); },
                                [&](int fd, clap_posix_fd_flags_t flags) { host->dispatchFd(fd, flags); });
    host->mainLoop = &loop;
    const auto* timers =
        static_cast<const clap_host_timer_support*>(p.host->get_extension(p.host, CLAP_EXT_TIMER_SUPPORT));
    clap_id fast = 0, slow = 0;
    ASSERT_TRUE(timers->register_timer(p.host, 30, &fast));
    ASSERT_TRUE(timers->register_timer(p.host, 50, &slow));
    EXPECT_NE(fast, slow);
    loop.advance(100);
    EXPECT_EQ(p.timersFired, (std::vector<clap_id>{fast, slow, fast, fast, slow}));
    EXPECT_TRUE(timers->unregister_timer(p.host, fast));
    EXPECT_FALSE(timers->unregister_timer(p.host, fast));
    p.timersFired.clear();
    loop.advance(50);
    EXPECT_EQ(p.timersFired, (std::vector<clap_id>{slow}));
}

TEST(ManualMainLoop, DescriptorsAreWatchedForTheConditionsRegistered) {
    std::vector<std::pair<int, clap_posix_fd_flags_t>> seen;
    satest::ManualMainLoop loop(nullptr, [&](int fd, clap_posix_fd_flags_t flags) { seen.push_back({fd, flags}); });
    EXPECT_TRUE(loop.registerFd(9, CLAP_POSIX_FD_READ));
    EXPECT_FALSE(loop.registerFd(9, CLAP_POSIX_FD_WRITE)) << "registered already";
    EXPECT_FALSE(loop.signalFd(9, CLAP_POSIX_FD_WRITE)) << "not watched for writing";
    EXPECT_TRUE(loop.modifyFd(9, CLAP_POSIX_FD_READ | CLAP_POSIX_FD_WRITE));
    EXPECT_TRUE(loop.signalFd(9, CLAP_POSIX_FD_WRITE | CLAP_POSIX_FD_ERROR));
    EXPECT_TRUE(loop.unregisterFd(9));
    EXPECT_FALSE(loop.signalFd(9, CLAP_POSIX_FD_READ));
    EXPECT_FALSE(loop.modifyFd(9, CLAP_POSIX_FD_READ));
    EXPECT_EQ(seen, (std::vector<std::pair<int, clap_posix_fd_flags_t>>{{9, CLAP_POSIX_FD_WRITE}}));
}

}  // namespace
