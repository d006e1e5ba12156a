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
    // Stores a value for an id after the clamp to its range; unknown ids change nothing.
    void storeParam(uint32_t id, double value);
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
    void onMainThread();
    const ControlNames& activeControlNames() const;
    int modeCountFor(int bank) const;
    std::string programName(int slot) const;
    std::string bankName(int bank) const;
    bool loadCustomHex(const std::string& hex, const std::string& name, std::string& error);

    int customSlot() const { return static_cast<int>(programs.size()) - 1; }
    int bankCount() const { return static_cast<int>(banks.size()); }
    const std::string& customHexText() const { return customHex; }
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
    std::array<int32_t, 6> switchPulses{};  // audio thread
};

}  // namespace fxcoreplug
