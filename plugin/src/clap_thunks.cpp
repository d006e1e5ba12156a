// The clap_plugin slots and the extension tables. Every function is a plain
// trampoline: it finds the plug-in through plugin_data, refuses impossible
// arguments and forwards to a member. The comment tag says which thread calls it.
// No exception may cross into the host: every slot is noexcept, and those whose
// member can throw (strings and records are built on the heap) turn any exception
// into the slot's failure answer.
#include "clap_thunks.h"

#include <cstdio>
#include <cstring>

#include "fxcoreplug/clap_entry.h"
#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/plugin_info_as_vst3.h"

namespace fxcoreplug {

namespace {

FXCorePlugin* self(const clap_plugin* plugin) noexcept {
    return plugin != nullptr ? static_cast<FXCorePlugin*>(plugin->plugin_data) : nullptr;
}

// The answer of `body`, or false when it throws (an allocation that failed, most likely).
template <class Body>
bool orFalse(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return false;
    }
}

// Runs `body`, swallowing whatever it throws: for slots that have no answer to fail with.
template <class Body>
void quietly(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

// ---- clap_plugin slots ----
bool pluginInit(const clap_plugin*) noexcept { return true; }  // [main] the constructor did the work

void pluginDestroy(const clap_plugin* plugin) noexcept {  // [main]
    delete self(plugin);
}

// [main]
bool pluginActivate(const clap_plugin* plugin, double rate, uint32_t minFrames, uint32_t maxFrames) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr && p->activate(rate, minFrames, maxFrames);
}

void pluginDeactivate(const clap_plugin*) noexcept {}  // [main]
bool pluginStartProcessing(const clap_plugin*) noexcept { return true; }  // [audio]
void pluginStopProcessing(const clap_plugin*) noexcept {}  // [audio]

void pluginReset(const clap_plugin* plugin) noexcept {  // [audio]
    if (FXCorePlugin* p = self(plugin)) p->reset();
}

clap_process_status pluginProcess(const clap_plugin* plugin, const clap_process* process) noexcept {  // [audio]
    if (FXCorePlugin* p = self(plugin)) p->process(process);
    return CLAP_PROCESS_CONTINUE;
}

void pluginOnMainThread(const clap_plugin* plugin) noexcept {  // [main]
    if (FXCorePlugin* p = self(plugin)) p->onMainThread();
}

// ---- "clap.audio-ports" [main] ----
uint32_t audioPortsCount(const clap_plugin*, bool) noexcept { return 1; }

bool audioPortsGet(const clap_plugin* plugin, uint32_t index, bool isInput, clap_audio_port_info* info) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr && info != nullptr && p->audioPortsInfo(index, isInput, info);
}

const clap_plugin_audio_ports s_audioPorts = {audioPortsCount, audioPortsGet};

// ---- "clap.params" [main; flush also audio] ----
uint32_t paramsCount(const clap_plugin* plugin) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr ? p->paramsCount() : 0;
}

bool paramsGetInfo(const clap_plugin* plugin, uint32_t index, clap_param_info* info) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr && info != nullptr && orFalse([&] { return p->paramsInfo(index, info); });
}

bool paramsGetValue(const clap_plugin* plugin, clap_id id, double* value) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr && value != nullptr && p->paramsValue(id, value);
}

bool paramsValueToText(const clap_plugin* plugin, clap_id id, double value, char* display, uint32_t size) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr && (display != nullptr || size == 0) &&
           orFalse([&] { return p->paramsValueToText(id, value, display, size); });
}

bool paramsTextToValue(const clap_plugin* plugin, clap_id id, const char* display, double* value) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr && value != nullptr && p->paramsTextToValue(id, display, value);
}

void paramsFlush(const clap_plugin* plugin, const clap_input_events* in, const clap_output_events* out) noexcept {
    if (FXCorePlugin* p = self(plugin)) p->paramsFlush(in, out);
}

const clap_plugin_params s_params = {paramsCount,       paramsGetInfo,     paramsGetValue,
                                     paramsValueToText, paramsTextToValue, paramsFlush};

// ---- "clap.state" [main] ----
bool stateSave(const clap_plugin* plugin, const clap_ostream* stream) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr && orFalse([&] { return p->stateSave(stream); });
}

bool stateLoad(const clap_plugin* plugin, const clap_istream* stream) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr && orFalse([&] { return p->stateLoad(stream); });
}

const clap_plugin_state s_state = {stateSave, stateLoad};

// ---- "clap.tail" [main, audio] ----
uint32_t tailGet(const clap_plugin*) noexcept { return FXCorePlugin::kTailFrames; }

const clap_plugin_tail s_tail = {tailGet};

// ---- "clap.gui" [main] ----
bool guiIsApiSupported(const clap_plugin* plugin, const char* api, bool isFloating) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr && p->guiIsApiSupported(api, isFloating);
}

bool guiGetPreferredApi(const clap_plugin*, const char** api, bool* isFloating) noexcept {
    if (api == nullptr || isFloating == nullptr) return false;
    *api = CLAP_WINDOW_API_X11;
    *isFloating = false;
    return true;
}

bool guiCreate(const clap_plugin* plugin, const char* api, bool isFloating) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr && orFalse([&] { return p->guiCreate(api, isFloating); });
}

void guiDestroy(const clap_plugin* plugin) noexcept {
    if (FXCorePlugin* p = self(plugin)) quietly([&] { p->guiDestroy(); });
}

bool guiSetScale(const clap_plugin* plugin, double scale) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr && p->guiSetScale(scale);
}

bool guiGetSize(const clap_plugin* plugin, uint32_t* width, uint32_t* height) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr && p->guiGetSize(width, height);
}

bool guiCanResize(const clap_plugin*) noexcept { return false; }
bool guiGetResizeHints(const clap_plugin*, clap_gui_resize_hints*) noexcept { return false; }

// Any proposal is answered with the panel's one size.
bool guiAdjustSize(const clap_plugin* plugin, uint32_t* width, uint32_t* height) noexcept {
    return guiGetSize(plugin, width, height);
}

bool guiSetSize(const clap_plugin*, uint32_t, uint32_t) noexcept { return false; }

bool guiSetParent(const clap_plugin* plugin, const clap_window* window) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr && orFalse([&] { return p->guiSetParent(window); });
}

bool guiSetTransient(const clap_plugin*, const clap_window*) noexcept { return false; }
void guiSuggestTitle(const clap_plugin*, const char*) noexcept {}

bool guiShow(const clap_plugin* plugin) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr && p->guiShow();
}

bool guiHide(const clap_plugin* plugin) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr && p->guiHide();
}

const clap_plugin_gui s_gui = {guiIsApiSupported, guiGetPreferredApi, guiCreate,    guiDestroy,   guiSetScale,
                               guiGetSize,        guiCanResize,       guiGetResizeHints, guiAdjustSize, guiSetSize,
                               guiSetParent,      guiSetTransient,    guiSuggestTitle, guiShow,      guiHide};

// ---- "clap.timer-support", "clap.posix-fd-support" [main]: the host drives the panel ----
void timerOnTimer(const clap_plugin* plugin, clap_id timerId) noexcept {
    if (FXCorePlugin* p = self(plugin)) quietly([&] { p->guiOnTimer(timerId); });
}

const clap_plugin_timer_support s_timerSupport = {timerOnTimer};

void fdOnFd(const clap_plugin* plugin, int fd, clap_posix_fd_flags_t flags) noexcept {
    if (FXCorePlugin* p = self(plugin)) quietly([&] { p->guiOnFd(fd, flags); });
}

const clap_plugin_posix_fd_support s_posixFdSupport = {fdOnFd};

// ---- "clap.note-ports" [main] ----
uint32_t notePortsCount(const clap_plugin*, bool isInput) noexcept { return isInput ? 1 : 0; }

bool notePortsGet(const clap_plugin* plugin, uint32_t index, bool isInput, clap_note_port_info* info) noexcept {
    FXCorePlugin* p = self(plugin);
    return p != nullptr && p->notePortsInfo(index, isInput, info);
}

const clap_plugin_note_ports s_notePorts = {notePortsCount, notePortsGet};

// ---- "clap.plugin-info-as-vst3/0" [main] ----
uint32_t asVst3MidiChannels(const clap_plugin*, uint32_t) noexcept { return 1; }
uint32_t asVst3NoteExpressions(const clap_plugin*) noexcept { return 0; }

const clap_plugin_info_as_vst3 s_asVst3 = {asVst3MidiChannels, asVst3NoteExpressions};

const void* pluginGetExtension(const clap_plugin*, const char* id) noexcept {  // [main, any]
    if (id == nullptr) return nullptr;
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &s_audioPorts;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &s_params;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &s_state;
    if (std::strcmp(id, CLAP_EXT_TAIL) == 0) return &s_tail;
    if (std::strcmp(id, CLAP_EXT_GUI) == 0) return &s_gui;
    if (std::strcmp(id, CLAP_EXT_NOTE_PORTS) == 0) return &s_notePorts;
    if (std::strcmp(id, CLAP_PLUGIN_INFO_AS_VST3) == 0) return &s_asVst3;
    if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &s_timerSupport;
    if (std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0) return &s_posixFdSupport;
    return nullptr;
}

}  // namespace

void fillClapPlugin(clap_plugin& record, FXCorePlugin* owner) {
    record.desc = &s_descriptor;
    record.plugin_data = owner;
    record.init = pluginInit;
    record.destroy = pluginDestroy;
    record.activate = pluginActivate;
    record.deactivate = pluginDeactivate;
    record.start_processing = pluginStartProcessing;
    record.stop_processing = pluginStopProcessing;
    record.reset = pluginReset;
    record.process = pluginProcess;
    record.get_extension = pluginGetExtension;
    record.on_main_thread = pluginOnMainThread;
}

bool FXCorePlugin::audioPortsInfo(uint32_t index, bool isInput, clap_audio_port_info* info) const {
    if (index != 0) return false;
    info->id = isInput ? 0 : 1;
    std::snprintf(info->name, sizeof(info->name), "%s", isInput ? "Input" : "Output");
    info->flags = CLAP_AUDIO_PORT_IS_MAIN;
    info->channel_count = 2;
    info->port_type = CLAP_PORT_STEREO;
    info->in_place_pair = CLAP_INVALID_ID;
    return true;
}

bool FXCorePlugin::notePortsInfo(uint32_t index, bool isInput, clap_note_port_info* info) const {
    if (index != 0 || !isInput || info == nullptr) return false;
    info->id = 0;
    info->supported_dialects = CLAP_NOTE_DIALECT_MIDI;
    info->preferred_dialect = CLAP_NOTE_DIALECT_MIDI;
    std::snprintf(info->name, sizeof(info->name), "%s", "MIDI Control");  // the rest is left as it was
    return true;
}

}  // namespace fxcoreplug
