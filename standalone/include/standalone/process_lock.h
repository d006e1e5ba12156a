// The host's one-byte spin lock around the plug-in's process call: the stream's
// thread holds it for a whole block, the main thread only briefly to switch
// processing off or on between blocks. Spins rather than waits, so the audio
// thread never sleeps on it.
#pragma once

#include <atomic>
#include <cstdint>

namespace brevlin::clap_host::standalone {

// Holds the lock for its scope; released on every way out.
class ProcessLockHold {
public:
    explicit ProcessLockHold(std::atomic<uint8_t>& lock) : lock_(lock) {
        while (lock_.exchange(1, std::memory_order_acquire) != 0) {
        }
    }
    ~ProcessLockHold() { lock_.store(0, std::memory_order_release); }
    ProcessLockHold(const ProcessLockHold&) = delete;
    ProcessLockHold& operator=(const ProcessLockHold&) = delete;

private:
    std::atomic<uint8_t>& lock_;
};

}  // namespace brevlin::clap_host::standalone
