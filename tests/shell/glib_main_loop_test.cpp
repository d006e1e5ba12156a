// The plug-in's timers and descriptors on GLib's default main context: what fires,
// and that nothing fires once it is unregistered or its loop is gone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

#include "shell/glib_main_loop.h"

namespace {

using brevlin::clap_host::standalone::GlibMainLoop;

// Turns the loop without waiting while something is ready; descriptors are
// level-triggered, so one still watched and ready fires on every turn.
int turnWhileReady() {
    int turns = 0;
    while (turns < 100 && g_main_context_iteration(nullptr, FALSE)) ++turns;
    return turns;
}

// Turns the loop, waiting, until a 5 ms timer of the test's own has fired.
void turnFiveMilliseconds() {
    bool done = false;
    g_timeout_add(5, [](gpointer flag) { return *static_cast<bool*>(flag) = true, G_SOURCE_REMOVE; }, &done);
    for (int turns = 0; turns < 1000 && !done; ++turns) g_main_context_iteration(nullptr, TRUE);
}

TEST(GlibLoop, TimersFireUntilUnregisteredEvenFromTheirOwnTick) {
    std::vector<clap_id> fired;
    GlibMainLoop* loopSeen = nullptr;
    GlibMainLoop loop([&](clap_id id) { fired.push_back(id), loopSeen->unregisterTimer(id); }, nullptr);
    loopSeen = &loop;
    clap_id kept = 0, dropped = 0;
    EXPECT_FALSE(loop.registerTimer(0, &kept)) << "a period of 0 would spin";
    ASSERT_TRUE(loop.registerTimer(1, &dropped));
    ASSERT_TRUE(loop.registerTimer(2, &kept));
    EXPECT_TRUE(loop.unregisterTimer(dropped));
    turnFiveMilliseconds();
    EXPECT_EQ(fired, std::vector<clap_id>{kept}) << "once: it unregistered itself";
    EXPECT_EQ(loop.timerCount(), 0u);
}

TEST(GlibLoop, DescriptorsFireForWhatIsWatchedUntilUnregisteredOrTheLoopGoes) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], "x", 1), 1);
    std::vector<std::pair<int, clap_posix_fd_flags_t>> ready;
    {
        GlibMainLoop loop(nullptr, [&](int fd, clap_posix_fd_flags_t flags) { ready.emplace_back(fd, flags); });
        ASSERT_TRUE(loop.registerFd(ends[0], CLAP_POSIX_FD_READ));
        EXPECT_FALSE(loop.registerFd(ends[0], CLAP_POSIX_FD_WRITE)) << "watched already";
        ASSERT_TRUE(loop.registerFd(ends[1], CLAP_POSIX_FD_READ));
        turnWhileReady();
        ASSERT_FALSE(ready.empty());
        EXPECT_EQ(ready.back(), std::make_pair(ends[0], clap_posix_fd_flags_t{CLAP_POSIX_FD_READ}));

        ASSERT_TRUE(loop.modifyFd(ends[1], CLAP_POSIX_FD_WRITE));
        ASSERT_TRUE(loop.unregisterFd(ends[0]));
        ready.clear();
        turnWhileReady();
        ASSERT_FALSE(ready.empty());
        for (const auto& [fd, flags] : ready)
            EXPECT_EQ(std::make_pair(fd, flags), std::make_pair(ends[1], clap_posix_fd_flags_t{CLAP_POSIX_FD_WRITE}))
                << "the read end is no longer watched";

        // Closed while watched: dropped rather than reported invalid on every turn.
        ::close(ends[1]);
        EXPECT_LT(turnWhileReady(), 100);
        EXPECT_EQ(loop.fdCount(), 0u);
        ASSERT_TRUE(loop.registerFd(ends[0], CLAP_POSIX_FD_READ));
    }
    ready.clear();
    turnWhileReady();
    EXPECT_TRUE(ready.empty()) << "still readable, but the loop that watched it is gone";
    ::close(ends[0]);
}

}  // namespace
