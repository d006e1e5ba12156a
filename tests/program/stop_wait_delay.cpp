// Preloaded into the program by the stop-race test: the JACK backend's wait in its
// stream stop is reached 60 ms late, as a main thread preempted at that moment
// reaches it, after the stream thread's one signal may have gone. Every other wait
// is passed on untouched.
#include <dlfcn.h>
#include <pthread.h>
#include <time.h>

#include <cstring>

extern "C" int pthread_cond_wait(pthread_cond_t* condition, pthread_mutex_t* mutex) {
    using CondWait = int (*)(pthread_cond_t*, pthread_mutex_t*);
    // The version programs built against this glibc call.
    static const auto real = reinterpret_cast<CondWait>(dlvsym(RTLD_NEXT, "pthread_cond_wait", "GLIBC_2.3.2"));
    Dl_info info{};
    if (dladdr(__builtin_return_address(0), &info) != 0 && info.dli_sname != nullptr &&
        std::strstr(info.dli_sname, "RtApiJack10stopStream") != nullptr) {
        const timespec delay{0, 60'000'000};
        nanosleep(&delay, nullptr);
    }
    return real(condition, mutex);
}
