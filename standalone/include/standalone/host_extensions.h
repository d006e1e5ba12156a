// The host extension tables offered to every plug-in. Each entry finds its proxy
// through the host_data of the clap_host it is called with and, where it forwards,
// calls that proxy's host interface. None lets an exception out to the plug-in.
#pragma once

#include "clap/clap.h"

namespace Clap::HostExt {

void host_log(const clap_host* host, clap_log_severity severity, const char* msg) noexcept;
void rescan(const clap_host* host, clap_param_rescan_flags flags) noexcept;
void clear(const clap_host* host, clap_id paramId, clap_param_clear_flags flags) noexcept;
void request_flush(const clap_host* host) noexcept;
bool is_main_thread(const clap_host* host) noexcept;
bool is_audio_thread(const clap_host* host) noexcept;
bool track_info_get(const clap_host* host, clap_track_info* info) noexcept;
void resize_hints_changed(const clap_host* host) noexcept;
bool request_resize(const clap_host* host, uint32_t width, uint32_t height) noexcept;
bool request_show(const clap_host* host) noexcept;
bool request_hide(const clap_host* host) noexcept;
void closed(const clap_host* host, bool wasDestroyed) noexcept;
void tail_changed(const clap_host* host) noexcept;

extern const clap_host_log log;
extern const clap_host_params params;
extern const clap_host_thread_check threadcheck;
extern const clap_host_track_info trackinfo;
extern const clap_host_gui hostgui;
extern const clap_host_timer_support hosttimer;
extern const clap_host_latency latency;
extern const clap_host_tail tail;
extern const clap_host_state state;
extern const clap_host_context_menu context_menu;
extern const clap_host_posix_fd_support posix_fd;

}  // namespace Clap::HostExt
