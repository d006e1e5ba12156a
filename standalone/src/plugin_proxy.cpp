#include "standalone/plugin_proxy.h"

#include <cstdio>
#include <cstring>

#include "standalone/call_shield.h"
#include "standalone/host_extensions.h"
#include "standalone/thread_identity.h"

namespace Clap {

std::shared_ptr<Plugin> Plugin::createInstance(const clap_plugin_factory* factory, const std::string& id,
                                               IHost* host) {
    auto proxy = std::make_shared<Plugin>(host);
    const clap_plugin* instance = factory->create_plugin(factory, &proxy->clapHost, id.c_str());
    if (instance == nullptr) return {};
    proxy->connectClap(instance);
    return proxy;
}

std::shared_ptr<Plugin> Plugin::createInstance(const clap_plugin_factory* factory, size_t index, IHost* host) {
    if (index >= factory->get_plugin_count(factory)) return {};
    const clap_plugin_descriptor* descriptor = factory->get_plugin_descriptor(factory, static_cast<uint32_t>(index));
    if (descriptor == nullptr || descriptor->id == nullptr) return {};
    return createInstance(factory, std::string(descriptor->id), host);
}

Plugin::Plugin(IHost* host) : parentHost(host), creatorThread(pthread_self()) {
    clapHost.clap_version = CLAP_VERSION;
    clapHost.host_data = this;
    clapHost.name = host->host_get_name();
    clapHost.vendor = kHostVendor;
    clapHost.url = kHostUrl;
    clapHost.version = kHostVersion;
    clapHost.get_extension = clapExtension;
    clapHost.request_restart = clapRequestRestart;
    clapHost.request_process = clapRequestProcess;
    clapHost.request_callback = clapRequestCallback;
}

Plugin::~Plugin() { terminate(); }

namespace {

template <class Table>
void ask(const clap_plugin* instance, const Table*& field, const char* id, const char* fallbackId = nullptr) {
    field = static_cast<const Table*>(instance->get_extension(instance, id));
    if (field == nullptr && fallbackId != nullptr)
        field = static_cast<const Table*>(instance->get_extension(instance, fallbackId));
}

}  // namespace

void Plugin::connectClap(const clap_plugin* plugin) {
    instance = plugin;
    if (!instance->init(instance)) {
        instance->destroy(instance);
        instance = nullptr;
        return;
    }

    ask(instance, extState, CLAP_EXT_STATE);
    ask(instance, extParams, CLAP_EXT_PARAMS);
    ask(instance, extAudioPorts, CLAP_EXT_AUDIO_PORTS);
    ask(instance, extConfigurableAudioPorts, CLAP_EXT_CONFIGURABLE_AUDIO_PORTS,
        CLAP_EXT_CONFIGURABLE_AUDIO_PORTS_COMPAT);
    ask(instance, extAudioPortsActivation, CLAP_EXT_AUDIO_PORTS_ACTIVATION, CLAP_EXT_AUDIO_PORTS_ACTIVATION_COMPAT);
    ask(instance, extNotePorts, CLAP_EXT_NOTE_PORTS);
    ask(instance, extLatency, CLAP_EXT_LATENCY);
    ask(instance, extRender, CLAP_EXT_RENDER);
    ask(instance, extTail, CLAP_EXT_TAIL);
    ask(instance, extGui, CLAP_EXT_GUI);
    ask(instance, extTimerSupport, CLAP_EXT_TIMER_SUPPORT);
    ask(instance, extTrackInfo, CLAP_EXT_TRACK_INFO);
    ask(instance, extAra, kExtAra);
    ask(instance, extContextMenu, CLAP_EXT_CONTEXT_MENU, CLAP_EXT_CONTEXT_MENU_COMPAT);
    ask(instance, extGainAdjustmentMetering, kExtGainAdjustmentMetering);
    ask(instance, extAuv2ParamOrdering, kExtAuv2ParamOrdering);
    ask(instance, extPosixFdSupport, CLAP_EXT_POSIX_FD_SUPPORT);

    // Only a window this host can embed is of any use.
    if (extGui != nullptr && !extGui->is_api_supported(instance, kHostWindowApi, false)) extGui = nullptr;
}

bool Plugin::initialize() {
    parentHost->setupHostSpecifics(instance);
    if (extAudioPorts != nullptr) parentHost->setupAudioBusses(instance, extAudioPorts);
    if (extNotePorts != nullptr) parentHost->setupMIDIBusses(instance, extNotePorts);
    if (extParams != nullptr) parentHost->setupParameters(instance, extParams);
    return true;
}

void Plugin::terminate() {
    if (instance == nullptr) return;
    instance->destroy(instance);
    instance = nullptr;
}

bool Plugin::activate() const { return instance->activate(instance, sampleRate, minFrames, maxFrames); }

void Plugin::deactivate() const { instance->deactivate(instance); }

bool Plugin::start_processing() {
    ThreadOverrideGuard audio(&g_audio_thread_override);
    return instance->start_processing(instance);
}

void Plugin::stop_processing() {
    ThreadOverrideGuard audio(&g_audio_thread_override);
    instance->stop_processing(instance);
}

void Plugin::reset() {
    ThreadOverrideGuard audio(&g_audio_thread_override);
    instance->reset(instance);
}

void Plugin::setBusActivation(bool isInput, uint32_t port, bool active) {
    if (extAudioPortsActivation == nullptr) return;
    extAudioPortsActivation->set_active(instance, isInput, port, active, 32);
}

bool Plugin::load(const clap_istream* stream) const {
    return extState != nullptr && extState->load(instance, stream);
}

bool Plugin::save(const clap_ostream* stream) const {
    return extState != nullptr && extState->save(instance, stream);
}

bool Plugin::is_main_thread() const noexcept { return isMainThreadOf(creatorThread); }
bool Plugin::is_audio_thread() const noexcept { return isAudioThreadOf(creatorThread); }

void Plugin::mark_dirty() { parentHost->mark_dirty(); }
void Plugin::latency_changed() { parentHost->latency_changed(); }
void Plugin::tail_changed() { parentHost->tail_changed(); }
void Plugin::param_rescan(uint32_t flags) { parentHost->param_rescan(flags); }
void Plugin::param_clear(uint32_t paramId, uint32_t flags) { parentHost->param_clear(paramId, flags); }
void Plugin::param_request_flush() { parentHost->param_request_flush(); }
bool Plugin::register_timer(uint32_t periodMs, clap_id* timerId) {
    return parentHost->register_timer(periodMs, timerId);
}
bool Plugin::unregister_timer(clap_id timerId) { return parentHost->unregister_timer(timerId); }

bool Plugin::context_menu_populate(const clap_context_menu_target* target, const clap_context_menu_builder* builder) {
    if (!parentHost->supportsContextMenu()) return true;
    return parentHost->context_menu_populate(target, builder);
}

bool Plugin::context_menu_perform(const clap_context_menu_target* target, clap_id actionId) {
    return parentHost->context_menu_perform(target, actionId);
}

bool Plugin::context_menu_can_popup() { return parentHost->supportsContextMenu(); }

bool Plugin::context_menu_popup(const clap_context_menu_target* target, int32_t screenIndex, int32_t x, int32_t y) {
    return parentHost->context_menu_popup(target, screenIndex, x, y);
}

const void* Plugin::clapExtension(const clap_host*, const char* id) noexcept {
    if (id == nullptr) {
        reportMisbehaviour("asked for a host extension without an id; answered none");
        return nullptr;
    }
    if (std::strcmp(id, CLAP_EXT_LOG) == 0) return &HostExt::log;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &HostExt::params;
    if (std::strcmp(id, CLAP_EXT_TRACK_INFO) == 0) return &HostExt::trackinfo;
    if (std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0) return &HostExt::threadcheck;
    if (std::strcmp(id, CLAP_EXT_GUI) == 0) return &HostExt::hostgui;
    if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &HostExt::hosttimer;
    if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &HostExt::latency;
    if (std::strcmp(id, CLAP_EXT_TAIL) == 0) return &HostExt::tail;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &HostExt::state;
    if (std::strcmp(id, CLAP_EXT_CONTEXT_MENU) == 0) return &HostExt::context_menu;
    if (std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0) return &HostExt::posix_fd;
    return nullptr;
}

void Plugin::clapRequestRestart(const clap_host* host) noexcept {
    shielded("request_restart", [&] { from(host)->parentHost->restartPlugin(); });
}

void Plugin::clapRequestProcess(const clap_host*) noexcept {}

void Plugin::clapRequestCallback(const clap_host* host) noexcept {
    shielded("request_callback", [&] { from(host)->parentHost->request_callback(); });
}

void Plugin::log(int severity, const char* msg) noexcept {
    static const char* const kPrefixes[] = {
        "PLUGIN: DEBUG: ",           "PLUGIN: INFO: ",  "PLUGIN: WARNING: ",    "PLUGIN: ERROR: ",
        "PLUGIN: FATAL: ",           "PLUGIN: HOST MISBEHAVING: ", "PLUGIN: MISBEHAVING: ",
    };
    if (msg == nullptr) {
        reportMisbehaviour("logged a message without text; ignored");
        return;
    }
    const char* prefix = severity >= 0 && severity <= CLAP_LOG_PLUGIN_MISBEHAVING ? kPrefixes[severity] : "";
    if (severity == CLAP_LOG_HOST_MISBEHAVING) std::fprintf(stderr, "%s\n", msg);
    std::fprintf(stderr, "%s%s\n", prefix, msg);
}

void reportMisbehaviour(const char* what) noexcept { std::fprintf(stderr, "HOST: the plug-in %s\n", what); }

}  // namespace Clap
