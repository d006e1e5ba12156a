// A host interface that writes down every call it receives, with its arguments.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "standalone/clap_ihost.h"

namespace satest {

struct RecordingHost final : Clap::IHost {
    std::vector<std::string> calls;
    bool contextMenu = false;
    bool answer = true;  // what the bool operations answer
    bool throws = false;  // every operation throws once it has written itself down

    bool note(const std::string& call) {
        calls.push_back(call);
        if (throws) throw std::runtime_error(call + " threw");
        return answer;
    }
    static std::string args(std::initializer_list<long long> values) {
        std::string s;
        for (long long v : values) s += " " + std::to_string(v);
        return s;
    }

    void mark_dirty() override { note("mark_dirty"); }
    void restartPlugin() override { note("restartPlugin"); }
    void request_callback() override { note("request_callback"); }
    void setupHostSpecifics(const clap_plugin*) override { note("setupHostSpecifics"); }
    void setupAudioBusses(const clap_plugin*, const clap_plugin_audio_ports*) override { note("setupAudioBusses"); }
    void setupMIDIBusses(const clap_plugin*, const clap_plugin_note_ports*) override { note("setupMIDIBusses"); }
    void setupParameters(const clap_plugin*, const clap_plugin_params*) override { note("setupParameters"); }
    void param_rescan(uint32_t flags) override { note("param_rescan" + args({flags})); }
    void param_clear(uint32_t id, uint32_t flags) override { note("param_clear" + args({id, flags})); }
    void param_request_flush() override { note("param_request_flush"); }
    void latency_changed() override { note("latency_changed"); }
    void tail_changed() override { note("tail_changed"); }
    bool gui_can_resize() override { return note("gui_can_resize"); }
    bool gui_request_resize(uint32_t w, uint32_t h) override { return note("gui_request_resize" + args({w, h})); }
    bool gui_request_show() override { return note("gui_request_show"); }
    bool gui_request_hide() override { return note("gui_request_hide"); }
    bool register_timer(uint32_t period, clap_id*) override { return note("register_timer" + args({period})); }
    bool unregister_timer(clap_id id) override { return note("unregister_timer" + args({id})); }
    bool track_info_get(clap_track_info*) override { return note("track_info_get"); }
    const char* host_get_name() override {
        note("host_get_name");
        return "Recording Host";
    }
    bool supportsContextMenu() const override { return contextMenu; }
    bool context_menu_populate(const clap_context_menu_target*, const clap_context_menu_builder*) override {
        return note("context_menu_populate");
    }
    bool context_menu_perform(const clap_context_menu_target*, clap_id id) override {
        return note("context_menu_perform" + args({id}));
    }
    bool context_menu_can_popup() override { return note("context_menu_can_popup"); }
    bool context_menu_popup(const clap_context_menu_target*, int32_t screen, int32_t x, int32_t y) override {
        return note("context_menu_popup" + args({screen, x, y}));
    }
    bool register_fd(int fd, clap_posix_fd_flags_t flags) override { return note("register_fd" + args({fd, flags})); }
    bool modify_fd(int fd, clap_posix_fd_flags_t flags) override { return note("modify_fd" + args({fd, flags})); }
    bool unregister_fd(int fd) override { return note("unregister_fd" + args({fd})); }
};

}  // namespace satest
