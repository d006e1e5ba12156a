// Timers and watched file descriptors that a plug-in registers through the host;
// served on the main thread by the application's main loop. The host forwards the
// plug-in's requests here; the loop calls back the plug-in's on_timer and on_fd
// through the host (StandaloneHost::dispatchTimer, dispatchFd).
#pragma once

#include <cstdint>
#include <functional>

#include "clap/clap.h"

namespace brevlin::clap_host::standalone {

class MainLoopServices {
public:
    // What a loop calls when a timer fires or a descriptor is ready.
    using TimerHandler = std::function<void(clap_id)>;
    using FdHandler = std::function<void(int, clap_posix_fd_flags_t)>;

    virtual ~MainLoopServices() = default;
    virtual bool registerTimer(uint32_t periodMs, clap_id* timerId) = 0;
    virtual bool unregisterTimer(clap_id timerId) = 0;
    virtual bool registerFd(int fd, clap_posix_fd_flags_t flags) = 0;
    virtual bool modifyFd(int fd, clap_posix_fd_flags_t flags) = 0;
    virtual bool unregisterFd(int fd) = 0;
};

}  // namespace brevlin::clap_host::standalone
