// A main loop that time does not move by itself: whoever owns it advances the
// clock and reports ready descriptors by hand, and it fires what is due. It
// stands in for the application's GLib loop where none runs (the host's tests).
#pragma once

#include <cstdint>
#include <vector>

#include "standalone/main_loop_services.h"

namespace brevlin::clap_host::standalone {

class ManualMainLoop final : public MainLoopServices {
public:
    ManualMainLoop(TimerHandler onTimer, FdHandler onFd);

    bool registerTimer(uint32_t periodMs, clap_id* timerId) override;
    bool unregisterTimer(clap_id timerId) override;
    bool registerFd(int fd, clap_posix_fd_flags_t flags) override;
    bool modifyFd(int fd, clap_posix_fd_flags_t flags) override;
    bool unregisterFd(int fd) override;

    // Moves the clock on by `ms` and fires every timer each time its period
    // passes, in the order they come due.
    void advance(uint64_t ms);
    // Reports `ready` on a descriptor; its handler runs with the conditions it
    // registered for. False when the descriptor is not watched for any of them.
    bool signalFd(int fd, clap_posix_fd_flags_t ready);

    size_t timerCount() const { return timers_.size(); }
    size_t fdCount() const { return fds_.size(); }

private:
    struct Timer {
        clap_id id;
        uint32_t periodMs;
        uint64_t due;
    };
    struct Watched {
        int fd;
        clap_posix_fd_flags_t flags;
    };

    TimerHandler onTimer_;
    FdHandler onFd_;
    std::vector<Timer> timers_;
    std::vector<Watched> fds_;
    uint64_t now_ = 0;
    clap_id nextId_ = 1;
};

}  // namespace brevlin::clap_host::standalone
