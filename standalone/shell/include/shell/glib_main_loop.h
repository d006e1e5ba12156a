// The plug-in's timers and watched file descriptors ("clap.timer-support",
// "clap.posix-fd-support") served by the GLib main loop of the program: a timeout
// source per timer, a unix fd source per descriptor, on the default main context.
// Every source goes when the plug-in unregisters it, at removeAll and with the
// object. Main thread only.
#pragma once

#include <glib.h>

#include <cstdint>
#include <map>
#include <memory>

#include "standalone/main_loop_services.h"

namespace brevlin::clap_host::standalone {

class GlibMainLoop final : public MainLoopServices {
public:
    GlibMainLoop(TimerHandler onTimer, FdHandler onFd);
    ~GlibMainLoop() override;
    GlibMainLoop(const GlibMainLoop&) = delete;
    GlibMainLoop& operator=(const GlibMainLoop&) = delete;

    bool registerTimer(uint32_t periodMs, clap_id* timerId) override;
    bool unregisterTimer(clap_id timerId) override;
    bool registerFd(int fd, clap_posix_fd_flags_t flags) override;
    bool modifyFd(int fd, clap_posix_fd_flags_t flags) override;
    bool unregisterFd(int fd) override;

    // Removes every source still registered: the plug-in that made them is gone.
    void removeAll();

    size_t timerCount() const { return timers_.size(); }
    size_t fdCount() const { return fds_.size(); }

private:
    // What a source's callback gets; lives exactly as long as its registration.
    struct Registration {
        GlibMainLoop* loop;
        clap_id timerId;  // timers
        int fd;           // descriptors
        clap_posix_fd_flags_t flags;
        guint source;
    };

    static gboolean timerFired(gpointer registration) noexcept;
    static gboolean fdReady(gint fd, GIOCondition condition, gpointer registration) noexcept;
    void watch(Registration& registration);

    TimerHandler onTimer_;
    FdHandler onFd_;
    std::map<clap_id, std::unique_ptr<Registration>> timers_;
    std::map<int, std::unique_ptr<Registration>> fds_;
    clap_id nextTimerId_ = 1;
};

}  // namespace brevlin::clap_host::standalone
