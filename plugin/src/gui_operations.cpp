// The plug-in's window operations ("clap.gui") and the host's timer and fd that
// drive the panel. On Linux the panel lives on the host's main loop: opening it
// registers a 33 ms timer and the panel's X connection with the host, and every
// way of closing it unregisters both.
#include <cstring>

#include "fxcoreedit/panel_editor.h"
#include "fxcoreplug/fxcore_plugin.h"

namespace fxcoreplug {

bool FXCorePlugin::guiIsApiSupported(const char* api, bool isFloating) const {
    // The API alone decides: scanners that offer no host extensions must still see
    // that the plug-in has a window.
    return api != nullptr && !isFloating && std::strcmp(api, CLAP_WINDOW_API_X11) == 0;
}

bool FXCorePlugin::guiCreate(const char* api, bool isFloating) {
    if (!guiIsApiSupported(api, isFloating)) return false;
    // Without the host's timer nothing would refresh the panel or read its events.
    if (hostTimers() == nullptr) return false;
    if (editor == nullptr) editor = std::make_unique<PanelEditor>(*this);
    return true;
}

void FXCorePlugin::guiDestroy() {
    if (editor == nullptr) return;
    unregisterGui();
    editor->close();
    editor.reset();
}

bool FXCorePlugin::guiSetScale(double) const { return false; }  // the panel keeps its size

bool FXCorePlugin::guiGetSize(uint32_t* width, uint32_t* height) const {
    if (width == nullptr || height == nullptr) return false;
    if (editor != nullptr) {
        editor->getSize(*width, *height);
    } else {
        *width = static_cast<uint32_t>(PanelEditor::kPanelWidth);
        *height = static_cast<uint32_t>(PanelEditor::kPanelHeight);
    }
    return true;
}

bool FXCorePlugin::guiSetParent(const clap_window* window) {
    if (editor == nullptr || window == nullptr) return false;
    editor->open(window->x11);
    // A panel nobody ticks would freeze: refuse it rather than show it dead.
    if (!registerGuiTimer()) {
        editor->close();
        return false;
    }
    registerGuiFd();
    return true;
}

void FXCorePlugin::guiClickForTesting(double x, double y) {
    if (editor != nullptr) editor->clickAt(x, y);
}

void FXCorePlugin::guiOnTimer(clap_id timerId) {
    if (editor == nullptr || !guiTimerRegistered || timerId != guiTimerId) return;
    editor->onHostTimer();
    dropStaleGuiFd();
}

void FXCorePlugin::guiOnFd(int fd, clap_posix_fd_flags_t) {
    if (editor == nullptr || fd < 0 || fd != guiFd) return;
    editor->pumpEvents();
    dropStaleGuiFd();
}

const clap_host_timer_support* FXCorePlugin::hostTimers() const {
    if (host == nullptr || host->get_extension == nullptr) return nullptr;
    const auto* timers = static_cast<const clap_host_timer_support*>(host->get_extension(host, CLAP_EXT_TIMER_SUPPORT));
    return timers != nullptr && timers->register_timer != nullptr && timers->unregister_timer != nullptr ? timers
                                                                                                         : nullptr;
}

const clap_host_posix_fd_support* FXCorePlugin::hostFds() const {
    if (host == nullptr || host->get_extension == nullptr) return nullptr;
    const auto* fds = static_cast<const clap_host_posix_fd_support*>(host->get_extension(host, CLAP_EXT_POSIX_FD_SUPPORT));
    return fds != nullptr && fds->register_fd != nullptr && fds->unregister_fd != nullptr ? fds : nullptr;
}

bool FXCorePlugin::registerGuiTimer() {
    if (guiTimerRegistered) return true;
    const clap_host_timer_support* timers = hostTimers();
    clap_id id = CLAP_INVALID_ID;
    if (timers == nullptr || !timers->register_timer(host, PanelEditor::kTimerIntervalMs, &id)) return false;
    guiTimerRegistered = true;
    guiTimerId = id;
    return true;
}

void FXCorePlugin::registerGuiFd() {
    const int fd = editor != nullptr ? editor->connectionFd() : -1;
    if (fd == guiFd) return;
    dropStaleGuiFd();
    // Without the host's fd support the timer's ticks read the events.
    const clap_host_posix_fd_support* fds = hostFds();
    if (fd >= 0 && fds != nullptr && fds->register_fd(host, fd, CLAP_POSIX_FD_READ)) guiFd = fd;
}

void FXCorePlugin::dropStaleGuiFd() {
    if (guiFd < 0 || (editor != nullptr && editor->connectionFd() == guiFd)) return;
    if (const clap_host_posix_fd_support* fds = hostFds()) fds->unregister_fd(host, guiFd);
    guiFd = -1;
}

void FXCorePlugin::unregisterGui() {
    if (guiTimerRegistered) {
        if (const clap_host_timer_support* timers = hostTimers()) timers->unregister_timer(host, guiTimerId);
        guiTimerRegistered = false;
        guiTimerId = CLAP_INVALID_ID;
    }
    if (guiFd >= 0) {
        if (const clap_host_posix_fd_support* fds = hostFds()) fds->unregister_fd(host, guiFd);
        guiFd = -1;
    }
}

}  // namespace fxcoreplug
