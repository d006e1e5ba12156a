// The plug-in's timers and descriptors on GLib's default main context: what fires
// when, and that nothing fires once it is unregistered or the loop is emptied.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "shell/glib_main_loop.h"

namespace {

using brevlin::clap_host::standalone::GlibMainLoop;

struct Pipe {
    int read = -1, write = -1;
    Pipe() {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        read = fds[0];
        write = fds[1];
    }
    ~Pipe() {
        if (read >= 0) ::close(read);
        if (write >= 0) ::close(write);
    }
};

// Turns the loop without waiting until nothing more is ready. Descriptors are
// level-triggered: one still watched and ready fires on every turn.
int turnWhileReady() {
    int turns = 0;
    while (turns < 100 && g_main_context_iteration(nullptr, FALSE)) ++turns;
    return turns;
}

struct GlibLoop : ::testing::Test {
    std::vector<clap_id> timers;
    std::vector<std::pair<int, clap_posix_fd_flags_t>> fds;
    GlibMainLoop loop{[this](clap_id id) { timers.push_back(id); },
                      [this](int fd, clap_posix_fd_flags_t flags) { fds.emplace_back(fd, flags); }};

    void turnUntilTimerFired(clap_id id) {
        for (int turns = 0; turns < 1000 && std::find(timers.begin(), timers.end(), id) == timers.end(); ++turns)
            g_main_context_iteration(nullptr, TRUE);
    }
};

TEST_F(GlibLoop, AnUnregisteredTimerNeverFiresWhileALaterOneDoes) {
    clap_id early = 0, late = 0;
    EXPECT_FALSE(loop.registerTimer(0, &early)) << "a period of 0 would spin";
    ASSERT_TRUE(loop.registerTimer(1, &early));
    ASSERT_TRUE(loop.registerTimer(5, &late));
    EXPECT_NE(early, late);
    EXPECT_TRUE(loop.unregisterTimer(early));
    EXPECT_FALSE(loop.unregisterTimer(early));
    turnUntilTimerFired(late);
    EXPECT_EQ(timers.front(), late) << "the 1 ms timer was due first";
    EXPECT_TRUE(loop.unregisterTimer(late));
}

TEST_F(GlibLoop, ATimerMayUnregisterItselfFromItsOwnTick) {
    clap_id id = 0;
    GlibMainLoop* self = nullptr;
    GlibMainLoop selfRemoving([&](clap_id fired) { EXPECT_TRUE(self->unregisterTimer(fired)); timers.push_back(fired); },
                              nullptr);
    self = &selfRemoving;
    ASSERT_TRUE(selfRemoving.registerTimer(1, &id));
    turnUntilTimerFired(id);
    EXPECT_EQ(selfRemoving.timerCount(), 0u);
}

TEST_F(GlibLoop, DescriptorsFireForTheConditionsWatchedUntilUnregistered) {
    Pipe pipe;
    ASSERT_EQ(::write(pipe.write, "x", 1), 1);
    ASSERT_TRUE(loop.registerFd(pipe.read, CLAP_POSIX_FD_READ));
    EXPECT_FALSE(loop.registerFd(pipe.read, CLAP_POSIX_FD_WRITE)) << "watched already";
    ASSERT_TRUE(loop.registerFd(pipe.write, CLAP_POSIX_FD_READ));
    turnWhileReady();
    ASSERT_FALSE(fds.empty());
    EXPECT_EQ(fds.front(), std::make_pair(pipe.read, clap_posix_fd_flags_t{CLAP_POSIX_FD_READ}));
    for (const auto& [fd, flags] : fds) EXPECT_EQ(fd, pipe.read) << "the write end never has data";

    ASSERT_TRUE(loop.modifyFd(pipe.write, CLAP_POSIX_FD_WRITE));
    ASSERT_TRUE(loop.unregisterFd(pipe.read));
    fds.clear();
    turnWhileReady();
    ASSERT_FALSE(fds.empty());
    for (const auto& [fd, flags] : fds) EXPECT_EQ(fd, pipe.write);
    EXPECT_EQ(fds.front().second, clap_posix_fd_flags_t{CLAP_POSIX_FD_WRITE});

    loop.removeAll();
    EXPECT_EQ(loop.fdCount(), 0u);
    fds.clear();
    turnWhileReady();
    EXPECT_TRUE(fds.empty()) << "both ends are still ready, but nothing watches them";
}

TEST_F(GlibLoop, ADescriptorClosedWhileWatchedIsDroppedRatherThanSpinning) {
    Pipe pipe;
    ASSERT_TRUE(loop.registerFd(pipe.read, CLAP_POSIX_FD_READ));
    ::close(pipe.read);
    turnWhileReady();
    EXPECT_EQ(loop.fdCount(), 0u);
    EXPECT_FALSE(loop.unregisterFd(pipe.read));
    pipe.read = -1;
    EXPECT_LT(turnWhileReady(), 100);
}

TEST(GlibLoopLifetime, EverySourceGoesWithTheLoop) {
    Pipe pipe;
    ASSERT_EQ(::write(pipe.write, "x", 1), 1);
    int fired = 0;
    {
        GlibMainLoop loop([&](clap_id) { ++fired; }, [&](int, clap_posix_fd_flags_t) { ++fired; });
        clap_id id = 0;
        ASSERT_TRUE(loop.registerTimer(1, &id));
        ASSERT_TRUE(loop.registerFd(pipe.read, CLAP_POSIX_FD_READ));
    }
    // A 1 ms timer of our own bounds the wait: the removed one would be due first.
    bool done = false;
    g_timeout_add(2, [](gpointer flag) { *static_cast<bool*>(flag) = true; return G_SOURCE_REMOVE; }, &done);
    for (int turns = 0; turns < 1000 && !done; ++turns) g_main_context_iteration(nullptr, TRUE);
    EXPECT_TRUE(done);
    EXPECT_EQ(fired, 0);
}

}  // namespace
