// The externally driven timer: running state, exceptions, re-entry, beat keeping.
#include <gtest/gtest.h>

#include <stdexcept>

#include "lumivex_ui/timer.h"

namespace lumivex::ui {
namespace {

using namespace std::chrono_literals;

TEST(Timer, FiresOnlyWhileRunning) {
    int calls = 0;
    Timer timer(33, [&] { ++calls; });
    EXPECT_EQ(timer.intervalMs(), 33u);
    EXPECT_FALSE(timer.fire());
    timer.start();
    EXPECT_TRUE(timer.fire());
    timer.stop();
    EXPECT_FALSE(timer.fire());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Timer(0, [] {}).intervalMs(), 1u);
}

TEST(Timer, CallbackFailuresAreCaughtAndCounted) {
    Timer timer(10, [] { throw std::runtime_error("tick failed"); });
    timer.start();
    EXPECT_FALSE(timer.fire());
    EXPECT_FALSE(timer.fire());
    EXPECT_EQ(timer.failures(), 2u);
    EXPECT_TRUE(timer.running());
}

TEST(Timer, FireFromInsideTheCallbackIsRefusedAndStopActsAtOnce) {
    Timer* self = nullptr;
    int calls = 0;
    bool innerFired = true;
    Timer timer(10, [&] {
        ++calls;
        innerFired = self->fire();
        self->stop();
    });
    self = &timer;
    timer.start();
    EXPECT_TRUE(timer.fire());
    EXPECT_FALSE(innerFired);
    EXPECT_FALSE(timer.fire());
    EXPECT_EQ(calls, 1);
}

TEST(Timer, TickKeepsTheBeatAndCatchesUpAfterAGap) {
    int calls = 0;
    Timer timer(10, [&] { ++calls; });
    const Timer::Clock::time_point t0{};
    EXPECT_FALSE(timer.tick(t0));  // stopped
    timer.start();
    EXPECT_TRUE(timer.tick(t0));  // first tick after start fires
    EXPECT_FALSE(timer.tick(t0 + 9ms));
    EXPECT_TRUE(timer.tick(t0 + 12ms));   // due at 10
    EXPECT_TRUE(timer.tick(t0 + 20ms));   // due at 20: the beat, not 22
    EXPECT_TRUE(timer.tick(t0 + 100ms));  // long gap: one call, next due at 110
    EXPECT_FALSE(timer.tick(t0 + 105ms));
    EXPECT_TRUE(timer.tick(t0 + 110ms));
    EXPECT_EQ(calls, 5);
    timer.stop();
    timer.start();
    EXPECT_TRUE(timer.tick(t0 + 111ms));  // restarted: fires at once
}

}  // namespace
}  // namespace lumivex::ui
