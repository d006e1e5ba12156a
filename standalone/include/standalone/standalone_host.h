// The one host object of the standalone program: the plug-in's host interface and
// the owner of everything that moves audio and MIDI (the audio library and its
// stream, the MIDI inputs and their ring, the event lists and port buffers of the
// block) and of the two handlers the application installs.
//
// Threads: everything runs on the main thread except clapProcess (the stream's
// thread, through rtaCallback), midiCallback (the MIDI library's input threads)
// and rtaErrorCallback (whichever thread the audio library reports on); each
// member says which threads touch it. Always made on the heap: the port buffers
// alone are 16 MiB.
#pragma once

#include <pthread.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "clap/clap.h"
#include "standalone/audio_api.h"
#include "standalone/audio_backend.h"
#include "standalone/audio_library.h"
#include "standalone/clap_ihost.h"
#include "standalone/main_loop_services.h"
#include "standalone/midi_library.h"
#include "standalone/plugin_proxy.h"
#include "standalone/published_ring.h"
#include "standalone/state_files.h"

namespace brevlin::clap_host::standalone {

class StandaloneHost : public Clap::IHost {
public:
    static constexpr uint32_t kEventSlots = 256;
    static constexpr uint32_t kEventSlotBytes = 1024;
    static constexpr uint32_t kScratchChannels = 64;
    static constexpr uint32_t kMaxPorts = kScratchChannels / 2;
    static constexpr uint32_t kScratchFrames = 65536;
    static constexpr uint32_t kMidiRingSize = 4096;
    static constexpr uint32_t kFirstBufferFrames = 256;
    static constexpr int32_t kFallbackSampleRate = 48000;
    static constexpr uint32_t kStopPolls = 10000;  // of 1 ms each
    static constexpr uint32_t kAudioErrorQueueSize = 16;
    // How long the main thread waits for one call into the audio system (see
    // LibraryThread) before it tells the user that the system does not answer.
    static constexpr std::chrono::milliseconds kLibraryAnswerBound{3000};

    using MidiEntry = std::array<uint8_t, 3>;
    using MidiRing = PublishedRing<MidiEntry, kMidiRingSize>;

    // An audio error found on another thread than the main thread, waiting for it.
    struct QueuedAudioError {
        uint32_t length = 0;
        char text[508]{};
    };

    struct StartupSelection {
        bool present = false;
        uint32_t inputDevice = 0;
        uint32_t outputDevice = 0;
        int32_t sampleRate = 0;
    };

    StandaloneHost();
    ~StandaloneHost() override;
    StandaloneHost(const StandaloneHost&) = delete;
    StandaloneHost& operator=(const StandaloneHost&) = delete;

    // Host interface.
    void mark_dirty() override {}
    void restartPlugin() override { restartRequested.exchange(true, std::memory_order_acq_rel); }
    void request_callback() override { callbackRequested.exchange(true, std::memory_order_acq_rel); }
    void setupHostSpecifics(const clap_plugin*) override {}
    void setupAudioBusses(const clap_plugin* plugin, const clap_plugin_audio_ports* ports) override;
    void setupMIDIBusses(const clap_plugin* plugin, const clap_plugin_note_ports* ports) override;
    void setupParameters(const clap_plugin*, const clap_plugin_params*) override {}
    void param_rescan(uint32_t) override {}
    void param_clear(uint32_t, uint32_t) override {}
    void param_request_flush() override {}
    void latency_changed() override {}
    void tail_changed() override {}
    bool gui_can_resize() override;
    bool gui_request_resize(uint32_t width, uint32_t height) override;
    bool gui_request_show() override { return false; }
    bool gui_request_hide() override { return false; }
    bool register_timer(uint32_t period_ms, clap_id* timer_id) override;
    bool unregister_timer(clap_id timer_id) override;
    bool track_info_get(clap_track_info*) override { return false; }
    const char* host_get_name() override { return Clap::kHostName; }
    bool supportsContextMenu() const override { return false; }
    bool context_menu_populate(const clap_context_menu_target*, const clap_context_menu_builder*) override {
        return false;
    }
    bool context_menu_perform(const clap_context_menu_target*, clap_id) override { return false; }
    bool context_menu_can_popup() override { return false; }
    bool context_menu_popup(const clap_context_menu_target*, int32_t, int32_t, int32_t) override { return false; }
    bool register_fd(int fd, clap_posix_fd_flags_t flags) override;
    bool modify_fd(int fd, clap_posix_fd_flags_t flags) override;
    bool unregister_fd(int fd) override;

    // The main loop's calls into the plug-in for what it registered.
    void dispatchTimer(clap_id timerId);
    void dispatchFd(int fd, clap_posix_fd_flags_t flags);

    // Audio stream and activation (main thread).
    void activatePlugin(int sampleRate, int minFrames, int maxFrames);
    // Undoes activation in CLAP's order: stop_processing when processing started,
    // then deactivate when active. Nothing for a plug-in in neither state.
    void deactivatePlugin();
    void startAudioThread();
    void startAudioThreadOn(uint32_t inputDevice, uint32_t inputChannels, bool useInput, uint32_t outputDevice,
                            uint32_t outputChannels, bool useOutput, int32_t sampleRate);
    void stopAudioThread();
    void guaranteeRtAudioDAC();
    void setAudioApi(AudioApi api);

    // Device queries (main thread). They answer from the audio library's last
    // snapshot of the devices (taken at the first query); refreshAudioDevices
    // takes a new one, after the audio system is chosen again while no stream is
    // open (a sound server that started after the program is found). Every
    // decision on devices (the settings window opening, its OK and Reset) starts
    // with it. A look that fails leaves the snapshot before it and shows nothing;
    // one that does not answer is told. False when the look failed.
    bool refreshAudioDevices();
    std::tuple<uint32_t, uint32_t, int32_t> getDefaultAudioInOutSampleRate();
    std::vector<AudioDeviceInfo> getInputAudioDevices();
    std::vector<AudioDeviceInfo> getOutputAudioDevices();
    std::vector<AudioApi> getCompiledApi();
    std::vector<int32_t> getSampleRates();
    std::vector<int32_t> getBufferSizes();

    // Main thread: looks whether the library has ended the stream on its own (see
    // StreamOwner); if so, that is handled once, in streamEnded.
    void noticeStreamEnd();

    // Audio errors of the library that are to be shown: at once on the main
    // thread, queued from any other thread until deliverQueuedAudioErrors.
    void reportAudioError(const std::string& message);
    // Queued from any thread, also the main one: shown by the next delivery.
    void queueAudioError(const std::string& message);
    // Main thread: shows the queued errors, oldest first. Returns how many.
    size_t deliverQueuedAudioErrors();
    bool isMainThread() const;

    // One block (the stream's thread).
    void clapProcess(void* output, const void* input, uint32_t frames);
    static uint32_t ie_getsize(const clap_input_events* list) noexcept;
    static const clap_event_header* ie_get(const clap_input_events* list, uint32_t index) noexcept;
    static bool oe_try_push(const clap_output_events* list, const clap_event_header* event) noexcept;

    // MIDI input.
    void startMIDIThread();
    void stopMIDIThread();
    // The MIDI library's callback; `userData` is the host. Not noexcept: the only
    // thing that leaves it is the unwind of its thread's cancellation (see its
    // definition).
    static void midiCallback(double timeStamp, std::vector<unsigned char>* message, void* userData);
    void processMIDIEvents(double timeStamp, std::vector<unsigned char>* message);

    // State files: the plug-in's state saved to, or loaded from, dir / name, with
    // how it ended.
    StateFileOutcome writeStateFile(const std::filesystem::path& dir, const std::filesystem::path& name);
    StateFileOutcome readStateFile(const std::filesystem::path& dir, const std::filesystem::path& name);
    // The same as a yes or no: the save wrote the whole file; the load handed the
    // file to the plug-in (whether or not it took it).
    bool saveStandaloneAndPluginSettings(const std::filesystem::path& dir, const std::filesystem::path& name);
    bool tryLoadStandaloneAndPluginSettings(const std::filesystem::path& dir, const std::filesystem::path& name);

    // Who touches each member. "Main" is the thread that made the host, "audio"
    // the stream's thread (clapProcess), "MIDI" the MIDI library's input threads.
    // "Set before a stream starts" means: written on main only while no stream
    // runs (before startStream, or after the stop), read by audio while one runs;
    // the library's startStream publishes the writes to its stream thread.

    // Audio only: the block's MIDI events, read by the plug-in through
    // inputEventList during its process call.
    alignas(8) uint8_t inputEventSlots[kEventSlots][kEventSlotBytes]{};
    uint32_t inputEventCount = 0;
    // Set before a stream starts (mainCreatePlugin); audio reads its instance in
    // every block. Released by the destructor after the stream has closed.
    std::shared_ptr<Clap::Plugin> clapPlugin;
    // Any thread sets them (exchange: the plug-in asks from its process call
    // too); main takes them (exchange) in the application's request timer.
    std::atomic<bool> restartRequested{false};
    std::atomic<bool> callbackRequested{false};
    // Written on main while the plug-in is initialised, before any stream; audio
    // reads numAudioInputs and numAudioOutputs, the rest are main only.
    uint32_t numAudioInputs = 0;
    uint32_t numAudioOutputs = 0;
    std::vector<uint32_t> inputChannelCounts;
    std::vector<uint32_t> outputChannelCounts;
    int32_t mainInput = 0;
    int32_t mainOutput = 0;
    uint32_t totalInputChannels = 0;
    uint32_t totalOutputChannels = 0;
    bool hasMIDIInput = false;
    bool hasClapNoteInput = false;
    bool hasNoteOutput = false;
    // Main: the application sets it and the plug-in's GUI calls it there.
    std::function<bool(uint32_t, uint32_t)> onRequestResize = [](uint32_t, uint32_t) { return false; };
    // MIDI appends, audio takes; PublishedRing says how entries are published.
    MidiRing midiRing;
    // Main: opened and closed while no stream runs, or right after one started.
    std::vector<std::unique_ptr<MidiInput>> midiInputs;
    uint32_t numMIDIPorts = 0;
    // Main. The library's own threads call back into this host (rtaCallback,
    // rtaErrorCallback) but never touch the member.
    std::unique_ptr<AudioLibrary> rtaDac;
    // Main only: set and emptied by the application, called only on main (errors
    // found elsewhere wait in audioErrors).
    std::function<void(const std::string&)> displayError;
    // Main only: the library's API and the stream's devices, rate and size.
    AudioApi audioApi = AudioApi::Unspecified;
    std::string audioApiName;
    std::string audioApiDisplayName;
    uint32_t currentInputDevice = 0;
    uint32_t currentOutputDevice = 0;
    bool inputEnabled = true;
    bool outputEnabled = true;
    int32_t streamSampleRate = 0;
    uint32_t bufferFrames = 0;
    // Set before a stream starts; audio reads them in every block.
    uint32_t streamInputChannels = 0;
    uint32_t streamOutputChannels = 0;
    // Main only.
    StartupSelection startupSelection;
    bool pluginActive = false;
    bool pluginProcessing = false;
    // Fixed at construction; handed to the plug-in in every block (audio).
    clap_input_events inputEventList{this, ie_getsize, ie_get};
    clap_output_events outputEventList{this, oe_try_push};
    // Held by audio for a whole block (exchange with acquire, release store);
    // main takes it only in the application's restart path, around switching
    // `running` off.
    std::atomic<uint8_t> processLock{0};
    // Main writes (release): off to stop or restart, on when a stream opens;
    // audio reads it (acquire) at the start of every block.
    std::atomic<bool> running{true};
    // Audio sets it (exchange) on a block it found `running` off; main polls it
    // (acquire) while stopping and clears it (release) before a new stream starts.
    std::atomic<bool> stopAcknowledged{false};
    // Audio only: the plug-in's port buffers.
    float scratchChannels[kScratchChannels][kScratchFrames]{};

    // The thread audio errors may be shown on: the one that made the host.
    // Written at construction, read by any thread.
    pthread_t mainThread;
    // Any thread but main appends (many producers), main takes.
    PublishedRing<QueuedAudioError, kAudioErrorQueueSize> audioErrors;
    // Main only, from here to the end of the members.

    // How the audio and MIDI libraries are reached; tests put fakes here before
    // the first use.
    AudioBackendFactory audioBackendFactory = makeRtAudioBackend;
    MidiSystem* midiSystem = &rtMidiSystem();
    // The MIDI API asked for, and the one the inputs were opened on.
    MidiApi midiApi = MidiApi::Unspecified;
    MidiApi midiApiInUse = MidiApi::Unspecified;
    // Serves register_timer and the descriptor registration; none until the
    // application's main loop exists, and then the plug-in's requests fail.
    MainLoopServices* mainLoop = nullptr;
    // How many 1 ms polls the stop waits for the stream's acknowledgement.
    uint32_t stopPollLimit = kStopPolls;
    // Given to every audio library object made from then on.
    std::chrono::milliseconds libraryAnswerBound = kLibraryAnswerBound;

private:
    // Takes an open stream to closed: switches processing off, waits (bounded) for
    // a running stream's acknowledgement, stops it and closes it. A stream the
    // library stopped on its own is closed too.
    void stopStreamAndWait();
    // Takes the MIDI inputs out of use without deleting them (see midi_input.cpp).
    void setAsideMidiInputs();
    // After a stream has started: MIDI inputs set aside with a lost server are
    // replaced by inputs of every port present now, as at start.
    void reopenSetAsideMidiInputs();
    // The one place a stream the library ended is handled: what the user is told,
    // and what becomes of the MIDI inputs.
    void streamEnded(const StreamEnd& end);
    // Takes the first snapshot of the devices when none was taken yet.
    void ensureDevices();
    // The record of a device the stream is to use; false when it is not there
    // (told) or the look did not answer (told).
    bool lookUpForStream(uint32_t id, AudioDeviceInfo& info);
    // Tells the user, once until the alert is shown, that the audio system does
    // not answer.
    void tellNotAnswering(const std::string& message);

    // Main only: the MIDI inputs were set aside (their JACK server went away, or
    // a JACK call is stuck at quit); fresh ones are opened when a stream starts
    // again.
    bool midiInputsSetAside_ = false;
    // Main only: the not-answering alert waits in audioErrors.
    bool notAnsweringQueued_ = false;
    const clap_plugin* instance() const { return clapPlugin != nullptr ? clapPlugin->instance : nullptr; }
};

std::vector<AudioDeviceInfo> filterDevicesBy(const std::unique_ptr<AudioLibrary>& dac,
                                             std::function<bool(const AudioDeviceInfo&)> predicate);

// The stream callback; `userData` is the host. A block that throws is silence. Not
// noexcept: the only thing that leaves it is the unwind of its thread's
// cancellation, which must reach the library's frames (see its definition).
int rtaCallback(void* output, void* input, unsigned int frames, double streamTime, AudioStreamStatus status,
                void* userData);
// The error callback of every audio library object `host` makes, bound to it;
// runs on whichever thread the library finds the problem. The user is shown what
// happened in plain words; the library's message goes to standard error.
void rtaErrorCallback(StandaloneHost& host, AudioErrorType type, const std::string& message) noexcept;

}  // namespace brevlin::clap_host::standalone
