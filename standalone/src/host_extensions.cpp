#include "standalone/host_extensions.h"

#include "standalone/plugin_proxy.h"

namespace Clap::HostExt {

namespace {

IHost& hostOf(const clap_host* host) { return *Plugin::from(host)->parentHost; }

bool registerTimer(const clap_host* host, uint32_t periodMs, clap_id* timerId) {
    return hostOf(host).register_timer(periodMs, timerId);
}
bool unregisterTimer(const clap_host* host, clap_id timerId) { return hostOf(host).unregister_timer(timerId); }

void latencyChanged(const clap_host* host) { hostOf(host).latency_changed(); }

void markDirty(const clap_host* host) { hostOf(host).mark_dirty(); }

bool contextMenuPopulate(const clap_host* host, const clap_context_menu_target* target,
                         const clap_context_menu_builder* builder) {
    IHost& h = hostOf(host);
    if (!h.supportsContextMenu()) return true;
    return h.context_menu_populate(target, builder);
}
bool contextMenuPerform(const clap_host* host, const clap_context_menu_target* target, clap_id actionId) {
    return hostOf(host).context_menu_perform(target, actionId);
}
bool contextMenuCanPopup(const clap_host* host) { return hostOf(host).supportsContextMenu(); }
bool contextMenuPopup(const clap_host* host, const clap_context_menu_target* target, int32_t screenIndex, int32_t x,
                      int32_t y) {
    return hostOf(host).context_menu_popup(target, screenIndex, x, y);
}

bool registerFd(const clap_host* host, int fd, clap_posix_fd_flags_t flags) {
    return hostOf(host).register_fd(fd, flags);
}
bool modifyFd(const clap_host* host, int fd, clap_posix_fd_flags_t flags) { return hostOf(host).modify_fd(fd, flags); }
bool unregisterFd(const clap_host* host, int fd) { return hostOf(host).unregister_fd(fd); }

}  // namespace

void host_log(const clap_host*, clap_log_severity severity, const char* msg) { Plugin::log(severity, msg); }

void rescan(const clap_host* host, clap_param_rescan_flags flags) { hostOf(host).param_rescan(flags); }
void clear(const clap_host*, clap_id, clap_param_clear_flags) {}
void request_flush(const clap_host* host) { hostOf(host).param_request_flush(); }

bool is_main_thread(const clap_host* host) { return Plugin::from(host)->is_main_thread(); }
bool is_audio_thread(const clap_host* host) { return Plugin::from(host)->is_audio_thread(); }

bool track_info_get(const clap_host* host, clap_track_info* info) { return hostOf(host).track_info_get(info); }

void resize_hints_changed(const clap_host*) {}
bool request_resize(const clap_host* host, uint32_t width, uint32_t height) {
    return hostOf(host).gui_request_resize(width, height);
}
bool request_show(const clap_host* host) { return hostOf(host).gui_request_show(); }
bool request_hide(const clap_host*) { return false; }
void closed(const clap_host*, bool) {}

void tail_changed(const clap_host* host) { hostOf(host).tail_changed(); }

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
