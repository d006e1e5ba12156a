#include "standalone/manual_main_loop.h"

#include <algorithm>
#include <utility>

namespace brevlin::clap_host::standalone {

ManualMainLoop::ManualMainLoop(TimerHandler onTimer, FdHandler onFd)
    : onTimer_(std::move(onTimer)), onFd_(std::move(onFd)) {}

bool ManualMainLoop::registerTimer(uint32_t periodMs, clap_id* timerId) {
    if (timerId == nullptr || periodMs == 0) return false;
    const clap_id id = nextId_++;
    timers_.push_back({id, periodMs, now_ + periodMs});
    *timerId = id;
    return true;
}

bool ManualMainLoop::unregisterTimer(clap_id timerId) {
    const auto it = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.id == timerId; });
    if (it == timers_.end()) return false;
    timers_.erase(it);
    return true;
}

bool ManualMainLoop::registerFd(int fd, clap_posix_fd_flags_t flags) {
    if (fd < 0 || flags == 0) return false;
    for (const Watched& w : fds_)
        if (w.fd == fd) return false;
    fds_.push_back({fd, flags});
    return true;
}

bool ManualMainLoop::modifyFd(int fd, clap_posix_fd_flags_t flags) {
    for (Watched& w : fds_) {
        if (w.fd != fd) continue;
        if (flags == 0) return false;
        w.flags = flags;
        return true;
    }
    return false;
}

bool ManualMainLoop::unregisterFd(int fd) {
    const auto it = std::find_if(fds_.begin(), fds_.end(), [&](const Watched& w) { return w.fd == fd; });
    if (it == fds_.end()) return false;
    fds_.erase(it);
    return true;
}

void ManualMainLoop::advance(uint64_t ms) {
    const uint64_t until = now_ + ms;
    for (;;) {
        // The earliest due timer; a handler may register or unregister timers.
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it)
            if (it->due <= until && (next == timers_.end() || it->due < next->due)) next = it;
        if (next == timers_.end()) break;
        now_ = next->due;
        next->due += next->periodMs;
        const clap_id id = next->id;
        if (onTimer_) onTimer_(id);
    }
    now_ = until;
}

bool ManualMainLoop::signalFd(int fd, clap_posix_fd_flags_t ready) {
    for (const Watched& w : fds_) {
        if (w.fd != fd) continue;
        const clap_posix_fd_flags_t flags = w.flags & ready;
        if (flags == 0) return false;
        if (onFd_) onFd_(fd, flags);
        return true;
    }
    return false;
}

}  // namespace brevlin::clap_host::standalone
