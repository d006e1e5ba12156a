#include "standalone/host_extensions.h"

#include "standalone/call_shield.h"
#include "standalone/plugin_proxy.h"

namespace Clap::HostExt {

namespace {

IHost& hostOf(const clap_host* host) { return *Plugin::from(host)->parentHost; }

bool registerTimer(const clap_host* host, uint32_t periodMs, clap_id* timerId) noexcept {
    return shielded("timer-support register_timer", false,
                    [&] { return hostOf(host).register_timer(periodMs, timerId); });
}
bool unregisterTimer(const clap_host* host, clap_id timerId) noexcept {
    return shielded("timer-support unregister_timer", false, [&] { return hostOf(host).unregister_timer(timerId); });
}

void latencyChanged(const clap_host* host) noexcept {
    shielded("latency changed", [&] { hostOf(host).latency_changed(); });
}

void markDirty(const clap_host* host) noexcept {
    shielded("state mark_dirty", [&] { hostOf(host).mark_dirty(); });
}

bool contextMenuPopulate(const clap_host* host, const clap_context_menu_target* target,
                         const clap_context_menu_builder* builder) noexcept {
    return shielded("context-menu populate", false, [&] {
        IHost& h = hostOf(host);
        if (!h.supportsContextMenu()) return true;
        return h.context_menu_populate(target, builder);
    });
}
bool contextMenuPerform(const clap_host* host, const clap_context_menu_target* target, clap_id actionId) noexcept {
    return shielded("context-menu perform", false,
                    [&] { return hostOf(host).context_menu_perform(target, actionId); });
}
bool contextMenuCanPopup(const clap_host* host) noexcept {
    return shielded("context-menu can_popup", false, [&] { return hostOf(host).supportsContextMenu(); });
}
bool contextMenuPopup(const clap_host* host, const clap_context_menu_target* target, int32_t screenIndex, int32_t x,
                      int32_t y) noexcept {
    return shielded("context-menu popup", false,
                    [&] { return hostOf(host).context_menu_popup(target, screenIndex, x, y); });
}

bool registerFd(const clap_host* host, int fd, clap_posix_fd_flags_t flags) noexcept {
    return shielded("posix-fd-support register_fd", false, [&] { return hostOf(host).register_fd(fd, flags); });
}
bool modifyFd(const clap_host* host, int fd, clap_posix_fd_flags_t flags) noexcept {
    return shielded("posix-fd-support modify_fd", false, [&] { return hostOf(host).modify_fd(fd, flags); });
}
bool unregisterFd(const clap_host* host, int fd) noexcept {
    return shielded("posix-fd-support unregister_fd", false, [&] { return hostOf(host).unregister_fd(fd); });
}

}  // namespace

void host_log(const clap_host*, clap_log_severity severity, const char* msg) noexcept { Plugin::log(severity, msg); }

void rescan(const clap_host* host, clap_param_rescan_flags flags) noexcept {
    shielded("params rescan", [&] { hostOf(host).param_rescan(flags); });
}
void clear(const clap_host*, clap_id, clap_param_clear_flags) noexcept {}
void request_flush(const clap_host* host) noexcept {
    shielded("params request_flush", [&] { hostOf(host).param_request_flush(); });
}

bool is_main_thread(const clap_host* host) noexcept { return Plugin::from(host)->is_main_thread(); }
bool is_audio_thread(const clap_host* host) noexcept { return Plugin::from(host)->is_audio_thread(); }

bool track_info_get(const clap_host* host, clap_track_info* info) noexcept {
    return shielded("track-info get", false, [&] { return hostOf(host).track_info_get(info); });
}

void resize_hints_changed(const clap_host*) noexcept {}
bool request_resize(const clap_host* host, uint32_t width, uint32_t height) noexcept {
    return shielded("gui request_resize", false, [&] { return hostOf(host).gui_request_resize(width, height); });
}
bool request_show(const clap_host* host) noexcept {
    return shielded("gui request_show", false, [&] { return hostOf(host).gui_request_show(); });
}
bool request_hide(const clap_host*) noexcept { return false; }
void closed(const clap_host*, bool) noexcept {}

void tail_changed(const clap_host* host) noexcept {
    shielded("tail changed", [&] { hostOf(host).tail_changed(); });
}

const clap_host_log log = {host_log};
const clap_host_params params = {rescan, clear, request_flush};
const clap_host_thread_check threadcheck = {is_main_thread, is_audio_thread};
const clap_host_track_info trackinfo = {track_info_get};
const clap_host_gui hostgui = {resize_hints_changed, request_resize, request_show, request_hide, closed};
const clap_host_timer_support hosttimer = {registerTimer, unregisterTimer};
const clap_host_latency latency = {latencyChanged};
const clap_host_tail tail = {tail_changed};
const clap_host_state state = {markDirty};
const clap_host_context_menu context_menu = {contextMenuPopulate, contextMenuPerform, contextMenuCanPopup,
                                             contextMenuPopup};
const clap_host_posix_fd_support posix_fd = {registerFd, modifyFd, unregisterFd};

}  // namespace Clap::HostExt
