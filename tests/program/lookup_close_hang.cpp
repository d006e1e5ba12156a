// Preloaded into the program by the device look-up tests. libjack can deadlock in
// the close of a short-lived client; here the close of the audio library's look-up
// clients (named "RtApiJack...") never returns, every time, from the moment the
// file that LOOKUP_HANG_ARMED_FILE names exists, so a test can let the program
// start and play first. Every other close, the stream's own client's included, is
// passed on untouched.
#include <dlfcn.h>
#include <jack/jack.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

extern "C" int jack_client_close(jack_client_t* client) {
    using Close = int (*)(jack_client_t*);
    using Name = char* (*)(jack_client_t*);
    static const auto real = reinterpret_cast<Close>(dlsym(RTLD_NEXT, "jack_client_close"));
    static const auto nameOf = reinterpret_cast<Name>(dlsym(RTLD_NEXT, "jack_get_client_name"));
    const char* armed = std::getenv("LOOKUP_HANG_ARMED_FILE");
    const char* name = client != nullptr ? nameOf(client) : nullptr;
    if (armed != nullptr && name != nullptr && std::strncmp(name, "RtApiJack", 9) == 0 && access(armed, F_OK) == 0)
        for (;;) pause();  // a signal's handler may run; the close still never returns
    return real(client);
}
