// Which thread counts as the main thread and which as an audio thread.
//
// The thread that created a proxy is its main thread and every other thread is an
// audio thread. Two per-thread counters override that: while a thread's main
// counter is non-zero it counts as the main thread, while its audio counter is
// non-zero it counts as an audio thread, whatever it really is.
#pragma once

#include <pthread.h>

namespace Clap {

extern thread_local int g_main_thread_override;
extern thread_local int g_audio_thread_override;

bool isMainThreadOf(pthread_t creatorThread) noexcept;
bool isAudioThreadOf(pthread_t creatorThread) noexcept;

// Raises one of the calling thread's counters for the guard's lifetime.
class ThreadOverrideGuard {
public:
    explicit ThreadOverrideGuard(int* counter) : counter_(counter) { ++*counter_; }
    ~ThreadOverrideGuard() { --*counter_; }
    ThreadOverrideGuard(const ThreadOverrideGuard&) = delete;
    ThreadOverrideGuard& operator=(const ThreadOverrideGuard&) = delete;

private:
    int* counter_;
};

// Guards that make the calling thread count as main thread, respectively audio
// thread, until they end. Nothing in the standalone program needs them.
[[nodiscard]] inline ThreadOverrideGuard AlwaysMainThread() { return ThreadOverrideGuard(&g_main_thread_override); }
[[nodiscard]] inline ThreadOverrideGuard AlwaysAudioThread() { return ThreadOverrideGuard(&g_audio_thread_override); }

}  // namespace Clap
