#include "standalone/thread_identity.h"

namespace Clap {

thread_local int g_main_thread_override = 0;
thread_local int g_audio_thread_override = 0;

bool isMainThreadOf(pthread_t creatorThread) noexcept {
    if (g_main_thread_override != 0) return true;
    return pthread_equal(pthread_self(), creatorThread) != 0;
}

bool isAudioThreadOf(pthread_t creatorThread) noexcept {
    if (g_audio_thread_override != 0) return true;
    return pthread_equal(pthread_self(), creatorThread) == 0;
}

}  // namespace Clap
