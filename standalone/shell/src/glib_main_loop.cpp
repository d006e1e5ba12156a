#include "shell/glib_main_loop.h"

#include <glib-unix.h>

#include <utility>

#include "standalone/call_shield.h"

namespace brevlin::clap_host::standalone {

namespace {

GIOCondition conditionFor(clap_posix_fd_flags_t flags) {
    unsigned condition = 0;
    if ((flags & CLAP_POSIX_FD_READ) != 0) condition |= G_IO_IN;
    if ((flags & CLAP_POSIX_FD_WRITE) != 0) condition |= G_IO_OUT;
    if ((flags & CLAP_POSIX_FD_ERROR) != 0) condition |= G_IO_ERR;
    return static_cast<GIOCondition>(condition);
}

// A hang-up reads as the end of the data, so it wakes a reader. Errors are reported
// whether or not they were asked for: poll reports them regardless, and a source
// that keeps firing for nothing would spin the loop.
clap_posix_fd_flags_t flagsFor(GIOCondition condition) {
    clap_posix_fd_flags_t flags = 0;
    if ((condition & (G_IO_IN | G_IO_PRI | G_IO_HUP)) != 0) flags |= CLAP_POSIX_FD_READ;
    if ((condition & G_IO_OUT) != 0) flags |= CLAP_POSIX_FD_WRITE;
    if ((condition & G_IO_ERR) != 0) flags |= CLAP_POSIX_FD_ERROR;
    return flags;
}

}  // namespace

GlibMainLoop::GlibMainLoop(TimerHandler onTimer, FdHandler onFd)
    : onTimer_(std::move(onTimer)), onFd_(std::move(onFd)) {}

GlibMainLoop::~GlibMainLoop() { removeAll(); }

bool GlibMainLoop::registerTimer(uint32_t periodMs, clap_id* timerId) {
    // A period of 0 would fire on every turn of the loop and starve everything else.
    if (timerId == nullptr || periodMs == 0) return false;
    auto registration = std::make_unique<Registration>(Registration{this, nextTimerId_++, -1, 0, 0});
    registration->source = g_timeout_add(periodMs, timerFired, registration.get());
    *timerId = registration->timerId;
    timers_.emplace(registration->timerId, std::move(registration));
    return true;
}

bool GlibMainLoop::unregisterTimer(clap_id timerId) {
    const auto found = timers_.find(timerId);
    if (found == timers_.end()) return false;
    g_source_remove(found->second->source);
    timers_.erase(found);
    return true;
}

bool GlibMainLoop::registerFd(int fd, clap_posix_fd_flags_t flags) {
    if (fd < 0 || flags == 0 || fds_.count(fd) != 0) return false;
    auto registration = std::make_unique<Registration>(Registration{this, CLAP_INVALID_ID, fd, flags, 0});
    watch(*registration);
    fds_.emplace(fd, std::move(registration));
    return true;
}

bool GlibMainLoop::modifyFd(int fd, clap_posix_fd_flags_t flags) {
    const auto found = fds_.find(fd);
    if (found == fds_.end() || flags == 0) return false;
    // A unix fd source cannot change what it waits for: a new one takes its place.
    Registration& registration = *found->second;
    if (registration.source != 0) g_source_remove(registration.source);
    registration.flags = flags;
    watch(registration);
    return true;
}

bool GlibMainLoop::unregisterFd(int fd) {
    const auto found = fds_.find(fd);
    if (found == fds_.end()) return false;
    if (found->second->source != 0) g_source_remove(found->second->source);
    fds_.erase(found);
    return true;
}

void GlibMainLoop::removeAll() {
    for (auto& [id, registration] : timers_) g_source_remove(registration->source);
    timers_.clear();
    for (auto& [fd, registration] : fds_)
        if (registration->source != 0) g_source_remove(registration->source);
    fds_.clear();
}

void GlibMainLoop::watch(Registration& registration) {
    registration.source = g_unix_fd_add(registration.fd, conditionFor(registration.flags), fdReady, &registration);
}

// Called by GLib through C. The handler may unregister this very timer, which frees
// the registration: nothing of it is read after the call. Returning "continue" for
// a source removed meanwhile is harmless.
gboolean GlibMainLoop::timerFired(gpointer data) noexcept {
    const auto& registration = *static_cast<const Registration*>(data);
    GlibMainLoop* loop = registration.loop;
    const clap_id timerId = registration.timerId;
    Clap::shielded("plug-in timer", [&] {
        if (loop->onTimer_) loop->onTimer_(timerId);
    });
    return G_SOURCE_CONTINUE;
}

gboolean GlibMainLoop::fdReady(gint fd, GIOCondition condition, gpointer data) noexcept {
    auto& registration = *static_cast<Registration*>(data);
    GlibMainLoop* loop = registration.loop;
    if ((condition & G_IO_NVAL) != 0) {
        // Closed without being unregistered: the descriptor would be reported invalid
        // on every turn of the loop. This source ends by its answer below.
        registration.source = 0;
        loop->fds_.erase(fd);
        return G_SOURCE_REMOVE;
    }
    const clap_posix_fd_flags_t flags = flagsFor(condition);
    Clap::shielded("plug-in descriptor", [&] {
        if (loop->onFd_) loop->onFd_(fd, flags);
    });
    return G_SOURCE_CONTINUE;
}

}  // namespace brevlin::clap_host::standalone
