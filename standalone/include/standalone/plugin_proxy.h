// The host's proxy for one CLAP plug-in instance: creates it through a factory,
// offers it the host record and the host extensions, keeps the extension tables it
// answers and forwards what it asks of its host to a Clap::IHost.
//
// Always held by std::shared_ptr. Created on the main thread, which thereby becomes
// the thread the thread-check extension calls "main".
#pragma once

#include <pthread.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "clap/clap.h"
#include "standalone/clap_ihost.h"

namespace Clap {

// Extension ids without a declaration of their own in our CLAP headers.
inline constexpr char kExtAra[] = "org.ara-audio.ara.pluginextension/2";
inline constexpr char kExtGainAdjustmentMetering[] = "clap.gain-adjustment-metering/0";
inline constexpr char kExtAuv2ParamOrdering[] = "clap.plugin-auv2-param-ordering/0";

// The one window API this host embeds plug-in windows with.
inline constexpr const char* kHostWindowApi = CLAP_WINDOW_API_X11;

inline constexpr char kHostName[] = "CLAP-Standalone-Host";
inline constexpr char kHostVendor[] = "Quendry";
inline constexpr char kHostUrl[] = "https://quendry.com/lumivex";
inline constexpr char kHostVersion[] = "0.16.0";

class Plugin {
public:
    static std::shared_ptr<Plugin> createInstance(const clap_plugin_factory* factory, const std::string& id,
                                                  IHost* host);
    static std::shared_ptr<Plugin> createInstance(const clap_plugin_factory* factory, size_t index, IHost* host);

    explicit Plugin(IHost* host);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    void connectClap(const clap_plugin* instance);

    bool initialize();
    void terminate();
    void setSampleRate(double rate) { sampleRate = rate; }
    void setBlockSizes(uint32_t min, uint32_t max) {
        minFrames = min;
        maxFrames = max;
    }
    bool activate() const;
    void deactivate() const;
    bool start_processing();
    void stop_processing();
    void reset();
    void setBusActivation(bool isInput, uint32_t port, bool active);
    bool load(const clap_istream* stream) const;
    bool save(const clap_ostream* stream) const;
    bool is_main_thread() const noexcept;
    bool is_audio_thread() const noexcept;

    // Forwarders to the host interface.
    void mark_dirty();
    void latency_changed();
    void tail_changed();
    void param_rescan(uint32_t flags);
    void param_clear(uint32_t paramId, uint32_t flags);
    void param_request_flush();
    bool register_timer(uint32_t periodMs, clap_id* timerId);
    bool unregister_timer(clap_id timerId);
    bool context_menu_populate(const clap_context_menu_target* target, const clap_context_menu_builder* builder);
    bool context_menu_perform(const clap_context_menu_target* target, clap_id actionId);
    bool context_menu_can_popup();
    bool context_menu_popup(const clap_context_menu_target* target, int32_t screenIndex, int32_t x, int32_t y);

    // The clap_host functions; `host` is a proxy's clapHost. None lets an
    // exception out to the plug-in.
    static const void* clapExtension(const clap_host* host, const char* id) noexcept;
    static void clapRequestRestart(const clap_host* host) noexcept;
    static void clapRequestProcess(const clap_host* host) noexcept;
    static void clapRequestCallback(const clap_host* host) noexcept;

    // Prints one of the plug-in's log messages to standard error.
    static void log(int severity, const char* msg) noexcept;

    // The proxy behind a clap_host record handed to the plug-in.
    static Plugin* from(const clap_host* host) { return static_cast<Plugin*>(host->host_data); }

    const clap_plugin_state* extState = nullptr;
    const clap_plugin_params* extParams = nullptr;
    const clap_plugin_audio_ports* extAudioPorts = nullptr;
    const clap_plugin_audio_ports_activation* extAudioPortsActivation = nullptr;
    const clap_plugin_configurable_audio_ports* extConfigurableAudioPorts = nullptr;
    const clap_plugin_gui* extGui = nullptr;
    const clap_plugin_note_ports* extNotePorts = nullptr;
    const clap_plugin_latency* extLatency = nullptr;
    const clap_plugin_render* extRender = nullptr;
    const clap_plugin_tail* extTail = nullptr;
    const clap_plugin_timer_support* extTimerSupport = nullptr;
    const clap_plugin_track_info* extTrackInfo = nullptr;
    const clap_plugin_context_menu* extContextMenu = nullptr;
    const void* extAra = nullptr;
    const void* extGainAdjustmentMetering = nullptr;
    const void* extAuv2ParamOrdering = nullptr;
    // Asked after the sixteen above: how the main loop hands the plug-in the
    // file descriptors it registered.
    const clap_plugin_posix_fd_support* extPosixFdSupport = nullptr;

    const clap_plugin* instance = nullptr;
    clap_host clapHost{};
    IHost* parentHost = nullptr;
    pthread_t creatorThread;
    double sampleRate = 44100.0;
    uint32_t minFrames = 0;
    uint32_t maxFrames = 0;
};

// One line on standard error about input from the plug-in that the host refused;
// `what` completes "the plug-in ...".
void reportMisbehaviour(const char* what) noexcept;

}  // namespace Clap
