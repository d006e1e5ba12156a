// Waiting for a condition that another thread brings about, with a generous bound
// instead of a fixed sleep.
#pragma once

#include <chrono>
#include <thread>

namespace testsupport {

// A bound for waits that normally take microseconds.
inline constexpr std::chrono::seconds kPatience{60};

// Waits until `done` holds or `patience` passes; gives what `done` says at the end.
template <typename Done>
bool waitFor(Done done, std::chrono::steady_clock::duration patience = kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return done();
        std::this_thread::yield();
    }
    return true;
}

}  // namespace testsupport
