// Waiting for a condition that another thread brings about, with a generous bound
// instead of a fixed sleep.
#pragma once

#include <chrono>
#include <thread>

namespace satest {

template <class Condition>
bool eventually(Condition condition) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::yield();
    }
    return true;
}

}  // namespace satest
