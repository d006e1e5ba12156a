// The Lumivex CLAP plug-in object: the emulated chip, the compiled-in firmware
// grouped into banks, the 18 parameter values and the selection of the program
// that runs.
//
// Threads: construction, destruction, activation, state and everything the panel
// calls run on the host's main thread; program installation and audio processing
// run on the audio thread. Members that both touch say how they are shared.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "clap/clap.h"
#include "fxcore/fxcore_core.h"
#include "fxcore/fxcore_program.h"
#include "fxcoreplug/control_names.h"
#include "fxcoreplug/custom_program_exchange.h"
#include "fxcoreplug/embedded_programs.h"

namespace fxcoreplug {

class PanelEditor;

// A Program or Mode value as an index: lround (halves away from zero), as int32.
int roundIndex(double value);

class FXCorePlugin {
public:
    struct ParamDef {
        uint32_t id;
        const char* name;
        const char* module;
        double min;
        double max;
        double def;
        uint32_t flags;
    };

    struct Bank {
        std::string name;
        std::vector<int> programs;  // mode index -> program slot
    };

    // One panel change waiting for the host: kind bits 1 gesture begin, 2 value,
    // 4 gesture end.
    struct GuiChange {
        uint32_t paramId = 0;
        double value = 0.0;
        uint8_t kind = 0;
    };
    static constexpr uint32_t kQueueSize = 256;
    static constexpr uint8_t kGestureBegin = 1;
    static constexpr uint8_t kValueChange = 2;
    static constexpr uint8_t kGestureEnd = 4;

    static constexpr size_t kParamCount = 18;
    static constexpr uint32_t kTailFrames = 32768;  // the chip's delay memory

    // The table of the 18 parameters; built once, shared by all instances.
    static const std::vector<ParamDef>& paramDefs();

    explicit FXCorePlugin(const clap_host* host);
    // The same with another firmware table (tests use their own programs).
    FXCorePlugin(const clap_host* host, std::span<const EmbeddedProgram> firmware);
    ~FXCorePlugin();
    FXCorePlugin(const FXCorePlugin&) = delete;
    FXCorePlugin& operator=(const FXCorePlugin&) = delete;

    // Parameters.
    const ParamDef* defFor(uint32_t id) const;
    std::atomic<double>* slotFor(uint32_t id);
    double paramValue(uint32_t id) const;
    // Stores a value for an id after the clamp to its range and returns what was
    // stored; NaN is never stored (the value stays and is returned), unknown ids
    // change nothing (and give 0.0).
    double storeParam(uint32_t id, double value);
    int currentBank() const;

    // Lifecycle.
    bool activate(double sampleRate, uint32_t minFrames, uint32_t maxFrames);
    void deactivate() {}
    void reset();
    uint32_t tailGet() const { return kTailFrames; }

    // Program selection and installation.
    int resolveProgramIndex() const;
    void applyProgramIfChanged();
    void requestParamRescan();
    // The next applyProgramIfChanged installs the selection again (and so resets the chip).
    void requestReinstall() { reinstallRequested.store(true, std::memory_order_release); }
    void onMainThread();
    const ControlNames& activeControlNames() const;
    int modeCountFor(int bank) const;
    std::string programName(int slot) const;
    std::string bankName(int bank) const;
    bool loadCustomHex(const std::string& hex, const std::string& name, std::string& error);

    // Audio processing and events (audio thread, or the params flush).
    clap_process_status process(const clap_process* process);
    void refreshControls();
    void handleEvent(const clap_event_header* event);
    void handleMidi(const clap_event_midi* midi);
    void midiTapSwitch(int index);
    void emitParamChange(uint32_t id, double value);
    static uint32_t switchParamId(int index);
    void paramsFlush(const clap_input_events* in, const clap_output_events* out);

    // What the panel calls, on the main thread.
    void guiSetParam(uint32_t id, double normalized);
    void guiSetParamValue(uint32_t id, double plain);
    void guiBeginGesture(uint32_t id);
    void guiEndGesture(uint32_t id);
    void triggerSwitch(int index);
    void setParamFromGui(uint32_t id, double plain);
    void pushGuiChange(uint32_t id, double value, uint8_t kind);
    void drainGuiQueue(const clap_output_events* out);

    // Parameter information and texts ("clap.params", main thread).
    uint32_t paramsCount() const { return static_cast<uint32_t>(kParamCount); }
    bool paramsInfo(uint32_t index, clap_param_info* info) const;
    bool paramsValue(uint32_t id, double* value) const;
    bool paramsValueToText(uint32_t id, double value, char* display, uint32_t size) const;
    bool paramsTextToValue(uint32_t id, const char* display, double* value) const;

    // The state record ("clap.state", main thread).
    bool stateSave(const clap_ostream* stream) const;
    bool stateLoad(const clap_istream* stream);

    // The window ("clap.gui", main thread). The only window API is X11, embedded,
    // and the panel needs the host's timer: create refuses a host without one.
    bool guiIsApiSupported(const char* api, bool isFloating) const;
    bool guiCreate(const char* api, bool isFloating);
    void guiDestroy();
    bool guiSetScale(double scale) const;
    bool guiGetSize(uint32_t* width, uint32_t* height) const;
    bool guiSetParent(const clap_window* window);
    bool guiShow() const { return editor != nullptr; }
    bool guiHide() const { return true; }
    // A left click on the open panel at (x, y) points; for tests.
    void guiClickForTesting(double x, double y);
    // The host's calls for the panel: its timer ("clap.timer-support") and the X
    // connection becoming readable ("clap.posix-fd-support").
    void guiOnTimer(clap_id timerId);
    void guiOnFd(int fd, clap_posix_fd_flags_t flags);

    // Ports ("clap.audio-ports", "clap.note-ports").
    bool audioPortsInfo(uint32_t index, bool isInput, clap_audio_port_info* info) const;
    bool notePortsInfo(uint32_t index, bool isInput, clap_note_port_info* info) const;

    int customSlot() const { return static_cast<int>(programs.size()) - 1; }
    int bankCount() const { return static_cast<int>(banks.size()); }
    const std::string& customHexText() const { return customHex; }
    const Bank* bankAt(int bank) const {
        return bank >= 0 && bank < bankCount() ? &banks[static_cast<size_t>(bank)] : nullptr;
    }
    const std::string& customProgramName() const { return customName; }

    // The CLAP record comes first: the factory hands out the object's own address.
    clap_plugin plugin{};
    const clap_host* host = nullptr;
    const clap_output_events* outEvents = nullptr;  // set only inside process and the params flush
    std::array<int32_t, 6> tapTimers{};             // audio thread

    fxcore::FXCoreCore core;  // audio thread while active; main thread otherwise

private:
    void loadFirmware(std::span<const EmbeddedProgram> firmware);
    void buildBanks();
    void chooseInitialBank();
    // loadCustomHex in two steps, so that a state load can refuse a record whose
    // program does not load before it changes anything: the image is parsed into
    // the main thread's own exchange slot, then installed into the custom slot.
    bool prepareCustomHex(const std::string& hex, std::string& error);
    void installPreparedCustom(const std::string& hex, const std::string& name);
    // The host's "clap.params" table, looked up afresh; null when it has none.
    const clap_host_params* hostParams() const;
    std::array<double, kParamCount> valueSnapshot() const;
    size_t positionOf(uint32_t id) const;  // row of an id, or kParamCount

    // Slot i holds compiled-in program i (or nothing when it failed to load); the
    // last slot is the custom slot, whose image travels through `custom`. Written
    // only by the constructor.
    std::vector<std::unique_ptr<fxcore::FXCoreProgram>> programs;
    std::vector<ControlNames> controlNames;  // one per slot; written only by the constructor

    // Banks grow only by "(loaded)", on the main thread, into storage reserved at
    // construction (so existing banks never move); `publishedBanks` says how many the
    // audio thread may read (release store after the append, acquire load).
    std::vector<Bank> banks;
    std::atomic<int> publishedBanks{0};

    std::atomic<int32_t> activeProgram{0};        // audio writes, main reads
    std::atomic<bool> paramRescanPending{false};  // audio sets, main takes with an exchange
    int32_t lastAppliedProgram = -1;              // audio thread
    std::atomic<bool> reinstallRequested{false};  // main sets (state load, activate), audio takes
    std::atomic<int32_t> customGeneration{0};     // main increments (release), audio reads (acquire)
    int32_t lastAppliedGeneration = 0;            // audio thread
    std::string customHex;                        // main thread
    std::string customName;                       // main thread
    bool customLoaded = false;                    // main thread: the custom slot holds an image
    CustomProgramExchange custom;

    // Parameter values by table row. Written by both threads (host events and MIDI
    // on the audio thread, panel and state on the main thread), each value whole:
    // release stores, acquire loads.
    std::array<std::atomic<double>, kParamCount> values{};

public:
    double sampleRate = 48000.0;  // main thread, while not processing

    // Bit i asks for a forced press of switch index i: the panel ORs bits in, process
    // takes them with an exchange.
    std::atomic<uint32_t> pendingSwitchTriggers{0};
    std::array<int32_t, 6> switchPulses{};  // audio thread

private:
    // The panel queue: one producer (the main thread) and one consumer (process or
    // the params flush). The producer fills an entry, then publishes it with a
    // release store of queueWrite; the consumer reads entries below an acquired
    // queueWrite and hands slots back with a release store of queueRead.
    std::array<GuiChange, kQueueSize> guiQueue{};
    std::atomic<uint32_t> queueWrite{0};
    std::atomic<uint32_t> queueRead{0};

    // What the chip reads from the parameters, recomputed by refreshControls (audio thread).
    struct Controls {
        uint32_t switchWord = 0x7F;
        float inputGain = 1.0f;
        float outputGain = 1.0f;
        int outputPair = 0;
    };
    Controls controls;
    // Output events as the host receives them; a refused push is lost.
    static void pushParamValue(const clap_output_events* out, uint32_t id, double value);
    static void pushGesture(const clap_output_events* out, uint16_t type, uint32_t id);

    // What the panel has registered with the host, so that all of it is removed
    // again however the panel goes away (main thread).
    const clap_host_timer_support* hostTimers() const;
    const clap_host_posix_fd_support* hostFds() const;
    bool registerGuiTimer();
    void registerGuiFd();
    // Unregisters the fd when the panel no longer watches it (its X connection was lost).
    void dropStaleGuiFd();
    void unregisterGui();
    bool guiTimerRegistered = false;  // main thread
    clap_id guiTimerId = CLAP_INVALID_ID;  // main thread
    int guiFd = -1;  // main thread: the X connection the host watches for the panel

public:
    // The panel, while the host has one (created and destroyed through "clap.gui").
    // Main thread only. Declared last, so that it goes first.
    std::unique_ptr<PanelEditor> editor;
};

}  // namespace fxcoreplug
