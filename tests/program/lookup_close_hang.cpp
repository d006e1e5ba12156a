// Preloaded into the program by the device look-up tests. libjack can deadlock in
// the close of a short-lived client, holding the lock that every client's open and
// close in the process takes. Here the close of the audio library's look-up
// clients (named "RtApiJack...") never returns from the moment the file that
// LOOKUP_HANG_ARMED_FILE names exists, so a test can let the program start and
// play first; from then on every other open and close waits for good too.
#include <dlfcn.h>
#include <jack/jack.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<bool> lockHeld{false};

void waitForTheLock() {
    if (!lockHeld.load()) return;
    for (;;) pause();  // a signal's handler may run; the call still never returns
}

}  // namespace

extern "C" int jack_client_close(jack_client_t* client) {
    using Close = int (*)(jack_client_t*);
    using Name = char* (*)(jack_client_t*);
    static const auto real = reinterpret_cast<Close>(dlsym(RTLD_NEXT, "jack_client_close"));
    static const auto nameOf = reinterpret_cast<Name>(dlsym(RTLD_NEXT, "jack_get_client_name"));
    waitForTheLock();
    const char* armed = std::getenv("LOOKUP_HANG_ARMED_FILE");
    const char* name = client != nullptr ? nameOf(client) : nullptr;
    if (armed != nullptr && name != nullptr && std::strncmp(name, "RtApiJack", 9) == 0 && access(armed, F_OK) == 0) {
        lockHeld = true;
        waitForTheLock();
    }
    return real(client);
}

extern "C" jack_client_t* jack_client_open(const char* name, jack_options_t options, jack_status_t* status, ...) {
    using Open = jack_client_t* (*)(const char*, jack_options_t, jack_status_t*, ...);
    static const auto real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "jack_client_open"));
    waitForTheLock();
    if ((options & JackServerName) == 0) return real(name, options, status);
    va_list rest;
    va_start(rest, status);
    const char* server = va_arg(rest, const char*);
    va_end(rest);
    return real(name, options, status, server);
}
