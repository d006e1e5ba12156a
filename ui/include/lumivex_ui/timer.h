// A repeating timer driven from outside: a host's timer support (or any loop) calls
// fire() at the interval, or tick(now) as often as it likes. Main thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace lumivex::ui {

class Timer {
public:
    using Clock = std::chrono::steady_clock;

    // An interval of 0 becomes 1 ms. The timer starts stopped.
    Timer(uint32_t intervalMs, std::function<void()> callback);

    uint32_t intervalMs() const { return intervalMs_; }
    void start() {
        if (!running_) scheduled_ = false;
        running_ = true;
    }
    // A stopped timer ignores fire() and tick(); stop() from the callback takes
    // effect at once.
    void stop() { running_ = false; }
    bool running() const { return running_; }

    // Runs the callback now when running. Whatever the callback throws is caught
    // (counted in failures()); a fire() from inside the callback is refused.
    // True when the callback ran and returned normally.
    bool fire();
    // Fires when `now` has reached the next due time, then schedules the next one
    // an interval later (or an interval after now, when ticks came too late to keep
    // the beat). The first tick after start() fires.
    bool tick(Clock::time_point now);

    uint64_t failures() const { return failures_; }

private:
    uint32_t intervalMs_;
    std::function<void()> callback_;
    bool running_ = false;
    bool inCallback_ = false;
    bool scheduled_ = false;
    Clock::time_point due_{};
    uint64_t failures_ = 0;
};

}  // namespace lumivex::ui
