// The host object: construction, the host-interface operations, the plug-in's
// ports, the main loop's registrations and the hand-over of audio errors to the
// main thread.
#include "standalone/standalone_host.h"

#include <algorithm>
#include <cstring>

namespace brevlin::clap_host::standalone {

StandaloneHost::StandaloneHost()
    : audioApiName(AudioLibrary::getApiName(AudioApi::Unspecified)),
      audioApiDisplayName(AudioLibrary::getApiDisplayName(AudioApi::Unspecified)),
      mainThread(pthread_self()) {}

StandaloneHost::~StandaloneHost() {
    // The stream and the MIDI inputs end first: their threads write into members.
    // MIDI inputs of a server that went away are put aside, not deleted.
    noticeStreamEnd();
    rtaDac.reset();
    for (auto it = midiInputs.rbegin(); it != midiInputs.rend(); ++it) it->reset();
}

void StandaloneHost::setupAudioBusses(const clap_plugin* plugin, const clap_plugin_audio_ports* ports) {
    if (ports == nullptr) return;
    // Every port takes two scratch channels: the first kMaxPorts ports are served,
    // inputs first.
    numAudioInputs = std::min(ports->count(plugin, true), kMaxPorts);
    numAudioOutputs = std::min(ports->count(plugin, false), kMaxPorts - numAudioInputs);
    for (bool isInput : {true, false}) {
        const uint32_t count = isInput ? numAudioInputs : numAudioOutputs;
        for (uint32_t i = 0; i < count; ++i) {
            clap_audio_port_info info{};
            uint32_t channels = 0;
            bool isMain = false;
            if (ports->get(plugin, i, isInput, &info)) {
                channels = info.channel_count;
                isMain = (info.flags & CLAP_AUDIO_PORT_IS_MAIN) != 0;
            }
            (isInput ? inputChannelCounts : outputChannelCounts).push_back(channels);
            (isInput ? totalInputChannels : totalOutputChannels) += channels;
            if (isMain) (isInput ? mainInput : mainOutput) = static_cast<int32_t>(i);
        }
    }
}

void StandaloneHost::setupMIDIBusses(const clap_plugin* plugin, const clap_plugin_note_ports* ports) {
    if (ports == nullptr) return;
    if (ports->count(plugin, true) != 0) {
        clap_note_port_info info{};
        if (ports->get(plugin, 0, true, &info)) {
            if ((info.supported_dialects & CLAP_NOTE_DIALECT_MIDI) != 0) hasMIDIInput = true;
            if ((info.supported_dialects & CLAP_NOTE_DIALECT_CLAP) != 0) hasClapNoteInput = true;
        }
    }
    if (ports->count(plugin, false) != 0) hasNoteOutput = true;
}

bool StandaloneHost::gui_can_resize() {
    const clap_plugin* plugin = instance();
    if (plugin == nullptr || clapPlugin->extGui == nullptr) return false;
    return clapPlugin->extGui->can_resize(plugin);
}

bool StandaloneHost::gui_request_resize(uint32_t width, uint32_t height) {
    return onRequestResize ? onRequestResize(width, height) : false;
}

bool StandaloneHost::register_timer(uint32_t period_ms, clap_id* timer_id) {
    return mainLoop != nullptr && mainLoop->registerTimer(period_ms, timer_id);
}

bool StandaloneHost::unregister_timer(clap_id timer_id) {
    return mainLoop != nullptr && mainLoop->unregisterTimer(timer_id);
}

bool StandaloneHost::register_fd(int fd, clap_posix_fd_flags_t flags) {
    return mainLoop != nullptr && mainLoop->registerFd(fd, flags);
}

bool StandaloneHost::modify_fd(int fd, clap_posix_fd_flags_t flags) {
    return mainLoop != nullptr && mainLoop->modifyFd(fd, flags);
}

bool StandaloneHost::unregister_fd(int fd) { return mainLoop != nullptr && mainLoop->unregisterFd(fd); }

void StandaloneHost::dispatchTimer(clap_id timerId) {
    const clap_plugin* plugin = instance();
    if (plugin != nullptr && clapPlugin->extTimerSupport != nullptr)
        clapPlugin->extTimerSupport->on_timer(plugin, timerId);
}

void StandaloneHost::dispatchFd(int fd, clap_posix_fd_flags_t flags) {
    const clap_plugin* plugin = instance();
    if (plugin != nullptr && clapPlugin->extPosixFdSupport != nullptr)
        clapPlugin->extPosixFdSupport->on_fd(plugin, fd, flags);
}

bool StandaloneHost::isMainThread() const { return pthread_equal(pthread_self(), mainThread) != 0; }

void StandaloneHost::reportAudioError(const std::string& message) {
    if (isMainThread()) {
        const auto show = displayError;
        if (show) show(message);
        return;
    }
    // Not here: the handler shows a dialog, which only the main thread may do.
    queueAudioError(message);
}

void StandaloneHost::queueAudioError(const std::string& message) {
    // A message that finds the queue full is dropped.
    audioErrors.tryPush([&](QueuedAudioError& entry) {
        entry.length = static_cast<uint32_t>(std::min(message.size(), sizeof(entry.text)));
        std::memcpy(entry.text, message.data(), entry.length);
    });
}

size_t StandaloneHost::deliverQueuedAudioErrors() {
    size_t delivered = 0;
    std::string message;
    notAnsweringQueued_ = false;
    while (audioErrors.tryPop([&](const QueuedAudioError& entry) { message.assign(entry.text, entry.length); })) {
        ++delivered;
        const auto show = displayError;
        if (show) show(message);
    }
    return delivered;
}

}  // namespace brevlin::clap_host::standalone
