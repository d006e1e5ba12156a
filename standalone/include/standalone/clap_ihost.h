// The host side that a plug-in proxy forwards to: everything a plug-in asks of its
// host arrives here. The standalone host object is the one implementation.
#pragma once

#include <cstdint>

#include "clap/clap.h"

namespace Clap {

class IHost {
public:
    virtual ~IHost() = default;

    virtual void mark_dirty() = 0;
    virtual void restartPlugin() = 0;
    virtual void request_callback() = 0;

    virtual void setupHostSpecifics(const clap_plugin* plugin) = 0;
    virtual void setupAudioBusses(const clap_plugin* plugin, const clap_plugin_audio_ports* ports) = 0;
    virtual void setupMIDIBusses(const clap_plugin* plugin, const clap_plugin_note_ports* ports) = 0;
    virtual void setupParameters(const clap_plugin* plugin, const clap_plugin_params* params) = 0;

    virtual void param_rescan(uint32_t flags) = 0;
    virtual void param_clear(uint32_t param_id, uint32_t flags) = 0;
    virtual void param_request_flush() = 0;

    virtual void latency_changed() = 0;
    virtual void tail_changed() = 0;

    virtual bool gui_can_resize() = 0;
    virtual bool gui_request_resize(uint32_t width, uint32_t height) = 0;
    virtual bool gui_request_show() = 0;
    virtual bool gui_request_hide() = 0;

    virtual bool register_timer(uint32_t period_ms, clap_id* timer_id) = 0;
    virtual bool unregister_timer(clap_id timer_id) = 0;

    virtual bool track_info_get(clap_track_info* info) = 0;

    virtual const char* host_get_name() = 0;

    virtual bool supportsContextMenu() const = 0;
    virtual bool context_menu_populate(const clap_context_menu_target* target,
                                       const clap_context_menu_builder* builder) = 0;
    virtual bool context_menu_perform(const clap_context_menu_target* target, clap_id action_id) = 0;
    virtual bool context_menu_can_popup() = 0;
    virtual bool context_menu_popup(const clap_context_menu_target* target, int32_t screen_index, int32_t x,
                                    int32_t y) = 0;

    // File descriptors the plug-in wants watched on the main thread (its X11
    // connection): "clap.posix-fd-support".
    virtual bool register_fd(int fd, clap_posix_fd_flags_t flags) = 0;
    virtual bool modify_fd(int fd, clap_posix_fd_flags_t flags) = 0;
    virtual bool unregister_fd(int fd) = 0;
};

}  // namespace Clap
