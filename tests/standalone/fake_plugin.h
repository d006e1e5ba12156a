// A CLAP plug-in, factory and entry made for the host tests: what it answers is
// set per test, and it records what the host asks of it.
#pragma once

#include <atomic>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "clap/clap.h"

namespace satest {

// What the plug-in's "clap.gui" answers; every call is written to the plug-in's
// `calls` as "gui.<name>" with its arguments.
struct FakeGuiConfig {
    bool create = true, getSize = true, setParent = true, canResize = true;
    uint32_t width = 394, height = 722;  // what get_size reports
    uint32_t sizeStep = 10;              // adjust_size rounds down to multiples of it
};

struct FakePluginConfig {
    bool initResult = true;
    bool startProcessingResult = true;
    bool saveResult = true;  // what the state save answers once it has written the state
    bool loadResult = true;  // what the state load answers once it has read to the end
    std::string descriptorId;  // the id the instance's descriptor gives; empty: the factory's
    std::set<std::string> extensions = {CLAP_EXT_STATE, CLAP_EXT_AUDIO_PORTS, CLAP_EXT_NOTE_PORTS, CLAP_EXT_PARAMS};
    bool guiSupportsHostApi = true;
    FakeGuiConfig gui;
    uint32_t audioInputs = 1, audioOutputs = 1, channelsPerPort = 2;
    uint32_t noteDialects = CLAP_NOTE_DIALECT_MIDI;
    uint32_t noteInputs = 1, noteOutputs = 0;
    std::vector<uint8_t> state = {'F', 'A', 'K', 'E', 0, 1, 2, 3, 254, 255, 7};  // written in chunks of 4
};

// One plug-in instance; `destroy` deletes it.
struct FakePlugin {
    static constexpr size_t kMaxEvents = 512;

    clap_plugin plugin{};
    clap_plugin_descriptor descriptor{};
    const clap_host* host = nullptr;
    FakePluginConfig config;
    std::vector<std::string> asked;  // get_extension ids, in order
    std::vector<std::string> calls;  // lifecycle, GUI and on_main_thread calls, in order
    double activatedRate = 0;
    uint32_t activatedMin = 0, activatedMax = 0;
    bool mainDuringStart = false, audioDuringStart = false, audioDuringStop = false;
    std::vector<uint8_t> loaded;
    std::vector<int64_t> readResults;
    std::vector<clap_id> timersFired;
    void* userData = nullptr;  // for a process function of a test's own

    // The last block, as the plug-in saw it (audio thread; read it after the block).
    std::atomic<uint64_t> blocks{0};
    clap_process lastProcess{};
    uint32_t eventCount = 0;
    clap_event_midi events[kMaxEvents]{};
    bool pushAccepted = false;

    explicit FakePlugin(const clap_host* h, const FakePluginConfig& c);
    static FakePlugin& of(const clap_plugin* p) { return *static_cast<FakePlugin*>(p->plugin_data); }
};

// The factory and entry around FakePlugin. Make one per test; it is the current
// one while it lives.
struct FakeWorld {
    FakePluginConfig config;
    bool offerFactory = true;
    std::vector<std::string> entryCalls;
    FakePlugin* last = nullptr;  // the plug-in made last, while it lives
    std::vector<std::string> destroyedCalls;  // the calls of the plug-in destroyed last
    int created = 0;

    FakeWorld();
    ~FakeWorld();
    static FakeWorld* current;
    static const clap_plugin_entry entry;
    static const clap_plugin_factory factory;
    static const clap_plugin_descriptor descriptor;
};

// A plug-in process behaviour: output port 0 = input port 0 (when both exist).
clap_process_status fakeProcess(const clap_plugin* p, const clap_process* process);

}  // namespace satest
