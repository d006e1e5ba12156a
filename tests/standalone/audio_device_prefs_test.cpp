// Remembered audio devices on the fake audio library: what start-up selects from
// the user's defaults (or from the system's default devices), what the watcher
// stores while the stream runs, and defaults files that cannot be read.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <tuple>
#include <utility>

#include "file_faults.h"
#include "host_fixture.h"
#include "standalone/audio_device_choice.h"
#include "standalone/audio_device_prefs.h"
#include "standalone/standalone_entry.h"
#include "standalone/user_defaults.h"

namespace {

using namespace satest;
using namespace fxcore::standalone;
namespace fs = std::filesystem;
using Opt = std::optional<std::string>;
using Selected = std::tuple<bool, uint32_t, uint32_t, int32_t>;  // present, input, output, rate
using Stored = std::tuple<Opt, Opt, std::optional<int64_t>>;     // input, output, rate
constexpr Selected kHostDefaults{false, 0, 0, 0};

// A defaults file of its own per test. Ids 1, 2, 3 by position; the system's
// defaults are the mic and the USB interface.
struct RememberedDevices : HostFixture {
    fs::path config;
    RememberedDevices() {
        char pattern[] = "/tmp/lumivex-prefs-XXXXXX";
        config = ::mkdtemp(pattern);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        audio.devices = {{"USB Audio", 2, 2, {44100, 48000}, 48000},
                         {"Built-in Mic", 2, 0, {44100, 48000, 96000}, 44100},
                         {"HDMI", 0, 2, {48000, 96000}, 48000}};
        audio.defaultInput = 1;
    }
    ~RememberedDevices() override {
        ::unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(config);
    }
    fs::path file() const { return config / "lumivex" / "defaults.conf"; }
    // Start-up on a library that numbers the devices afresh.
    Selected install() {
        host->rtaDac.reset();
        host->startupSelection = {};
        installAudioDevicePrefs();
        const auto& s = host->startupSelection;
        return {s.present, s.inputDevice, s.outputDevice, s.sampleRate};
    }
    static Stored stored() {
        const UserDefaults d = UserDefaults::read();
        return {d.getString(kAudioInputDeviceKey), d.getString(kAudioOutputDeviceKey), d.getInteger(kAudioSampleRateKey)};
    }
    void startStream(uint32_t input, uint32_t output, int32_t rate) {
        host->startAudioThreadOn(input, 2, input != 0, output, 2, output != 0, rate);
    }
};

TEST_F(RememberedDevices, PresentDevicesAreSelectedOnlyByExactNameAndWhenTheyOfferTheRate) {
    const struct {
        Opt input, output, rate;
        Selected expected;
    } cases[] = {
        {"Built-in Mic", "USB Audio", "48000", {true, 2, 1, 48000}},
        {"", "USB Audio", "44100", {true, 0, 1, 44100}},            // the stream last ran without input
        {"Built-in Mic", "Headset", "96000", {true, 2, 0, 96000}},  // the output is unplugged
        {"Built-in Mic", std::nullopt, "96000", {true, 2, 0, 96000}},
        {"", "", "48000", kHostDefaults},                             // not the system defaults' rules
        {"Built-in Mic", "USB Audio", "96000", kHostDefaults},        // the output does not offer it
        {"USB Audio", "HDMI", "96000", kHostDefaults},                // the input does not offer it
        {"Built-in Mic", "USB Audio", "0", kHostDefaults},
        {"Built-in Mic", "USB Audio", std::nullopt, kHostDefaults},  // like a rate that is not a number
        {"built-in mic", "USB Audio", "48000", {true, 0, 1, 48000}},  // letter case differs
    };
    for (const auto& c : cases) {
        fs::remove(file());
        UserDefaults d = UserDefaults::read();
        if (c.input) d.setString(kAudioInputDeviceKey, *c.input);
        if (c.output) d.setString(kAudioOutputDeviceKey, *c.output);
        if (c.rate) d.setString(kAudioSampleRateKey, *c.rate);
        ASSERT_TRUE(d.write());
        EXPECT_EQ(install(), c.expected) << c.input.value_or("-") << " / " << c.output.value_or("-") << " @ "
                                         << c.rate.value_or("-");
    }
}

TEST_F(RememberedDevices, FirstStartTakesTheSystemDefaultsAtARateBothOffer) {
    const struct {
        std::vector<unsigned int> inRates;
        unsigned int inCurrent;
        std::vector<unsigned int> outRates;
        unsigned int outCurrent, defaultInput;
        Selected expected;
    } cases[] = {
        {{44100, 48000, 96000}, 44100, {44100, 48000}, 48000, 0, {true, 1, 2, 48000}},  // the output's current
        {{44100, 96000}, 44100, {44100, 48000}, 48000, 0, {true, 1, 2, 44100}},         // the input's current
        // the highest shared, neither the first nor the last
        {{44100, 96000, 88200, 48000}, 88200, {48000, 96000, 44100, 192000}, 192000, 0, {true, 1, 2, 96000}},
        {{44100}, 44100, {48000}, 48000, 0, {true, 0, 2, 48000}},  // none shared: output only
        {{44100}, 44100, {44100}, 44100, 1, kHostDefaults},         // no default input
    };
    for (const auto& c : cases) {
        audio.devices = {{"Mic", 2, 0, c.inRates, c.inCurrent}, {"Speakers", 0, 2, c.outRates, c.outCurrent}};
        audio.defaultInput = c.defaultInput;
        audio.defaultOutput = 1;
        EXPECT_EQ(install(), c.expected) << c.inCurrent << " / " << c.outCurrent;
    }
}

// A start, the settings window's lists and its OK each look at every device once.
TEST_F(RememberedDevices, AStartAWindowAndAnOkEachProbeEveryDeviceOnce) {
    attach();
    const int made = audio.backendsMade;
    audio.probes = 0;
    install();
    host->startAudioThread();
    EXPECT_EQ(std::exchange(audio.probes, 0), 4) << "the start";
    host->refreshAudioDevices();
    EXPECT_EQ(host->getOutputAudioDevices().size(), 2u) << "the stream's own client is probed, yet not listed";
    host->getInputAudioDevices();
    EXPECT_EQ(std::exchange(audio.probes, 0), 5) << "the window's lists";
    host->refreshAudioDevices();
    startStream(2, 3, 48000);
    EXPECT_EQ(audio.probes, 5) << "its OK";
    EXPECT_EQ(audio.backendsMade, made + 2) << "the catalogue's and the stream's: no new choice of audio system "
                                               "under a running stream";
}

using DeviceWatcher = RememberedDevices;

TEST_F(DeviceWatcher, StoresTheFirstStreamThenEachChoiceOfTheUserButNeverAStreamWithoutOutput) {
    attach();
    FXCoreAudioPrefsWatcher watcher;
    watcher.tick();
    startStream(2, 1, 48000);
    host->streamSampleRate = 0;
    watcher.tick();
    host->streamSampleRate = 48000;
    host->stopAudioThread();
    watcher.tick();
    startStream(2, 0, 48000);
    watcher.tick();
    EXPECT_FALSE(fs::exists(file())) << "no stream, a stopped one, one without a rate or without output";
    startStream(0, 3, 48000);
    watcher.tick();
    EXPECT_EQ(stored(), (Stored{"", "HDMI", 48000})) << "nothing remembered: the first stream";
    const struct {
        uint32_t input, output;
        int32_t rate;
        bool chosen;  // by the user, with OK in the settings window
        Stored expected;
    } changes[] = {
        {2, 1, 48000, true, {"Built-in Mic", "USB Audio", 48000}},
        {2, 1, 44100, true, {"Built-in Mic", "USB Audio", 44100}},
        {0, 3, 48000, false, {"Built-in Mic", "USB Audio", 44100}},  // the program's own switch
        {2, 0, 96000, true, {"Built-in Mic", "USB Audio", 44100}},  // the window offers no "no output"
        {0, 3, 48000, true, {"", "HDMI", 48000}},
    };
    for (const auto& c : changes) {
        startStream(c.input, c.output, c.rate);
        if (c.chosen) watcher.userChoseRunningDevices();
        watcher.tick();
        EXPECT_EQ(stored(), c.expected) << c.input << " " << c.output << " " << c.rate;
        fs::rename(file(), config / "aside");
        watcher.tick();
        EXPECT_FALSE(fs::exists(file())) << "the same again";
        fs::rename(config / "aside", file());
    }
}

TEST_F(DeviceWatcher, WhatTheProgramFallsBackOnIsNotStoredOverTheRememberedDevices) {
    attach();
    const std::string interface = "My USB Interface";
    const Stored cases[] = {
        {"Built-in Mic", interface, 96000},  // the output is away: the stream runs on the input alone
        {interface, interface, 96000},       // both are away: the system's defaults run
        {"Built-in Mic", "HDMI", 96000},     // present: they run and stay remembered
    };
    for (const Stored& remembered : cases) {
        UserDefaults d = UserDefaults::read();
        d.setString(kAudioInputDeviceKey, *std::get<0>(remembered));
        d.setString(kAudioOutputDeviceKey, *std::get<1>(remembered));
        d.setInteger(kAudioSampleRateKey, *std::get<2>(remembered));
        ASSERT_TRUE(d.write());
        install();
        host->startAudioThread();
        ASSERT_TRUE(host->rtaDac->stream.isRunning());
        FXCoreAudioPrefsWatcher::forProcess()->tick();
        EXPECT_EQ(stored(), remembered);
        host->stopAudioThread();
    }
}

// The snapshot no longer holds the running device: the watcher's look at its name
// is no action of the user's, and tells nothing.
TEST_F(DeviceWatcher, ARunningDeviceMissingFromTheLatestSnapshotShowsNothing) {
    attach();
    std::vector<std::string> shown;
    host->displayError = [&](const std::string& m) { shown.push_back(m); };
    FXCoreAudioPrefsWatcher watcher;
    startStream(2, 1, 48000);
    audio.devices.erase(audio.devices.begin());
    host->refreshAudioDevices();
    watcher.tick();
    host->deliverQueuedAudioErrors();
    EXPECT_TRUE(shown.empty());
}

TEST_F(DeviceWatcher, AWriteThatFailedIsTriedAgainAtTheNextTick) {
    attach();
    startStream(2, 1, 48000);
    writeFile(config / "lumivex", "in the way");
    FXCoreAudioPrefsWatcher watcher;
    watcher.tick();
    fs::remove(config / "lumivex");
    watcher.tick();
    EXPECT_EQ(stored(), (Stored{"Built-in Mic", "USB Audio", 48000}));
}

TEST_F(RememberedDevices, NamesReadBackAsWrittenAndUtf8NamesKeepTheirFormat) {
    const std::pair<std::string, std::string> cases[] = {  // the name, its line in the file
        {" \xc3\x9cnic\xc3\xb6" "de\tname\\", "FXCoreAudioInputDevice=\\s\xc3\x9cnic\xc3\xb6" "de\tname\\\\\n"},
        {"Carte son \xe9l\xe9gante", "FXCoreAudioInputDevice=Carte son \xe9l\xe9gante\n"},  // Latin-1
    };
    for (const auto& [name, line] : cases) {
        UserDefaults d = UserDefaults::read();
        d.setString(kAudioInputDeviceKey, name);
        ASSERT_TRUE(d.write());
        EXPECT_NE(textOf(file()).find(line), std::string::npos) << textOf(file());
        EXPECT_EQ(UserDefaults::read().getString(kAudioInputDeviceKey), name);
    }
}

TEST_F(DeviceWatcher, OneWatcherPerProcessTicksOnTheMainLoopForAsLongAsItRuns) {
    attach();
    installAudioDevicePrefs();
    installAudioDevicePrefs();
    FXCoreAudioPrefsWatcher* watcher = FXCoreAudioPrefsWatcher::forProcess();
    EXPECT_EQ(&FXCoreAudioPrefsWatcher::startForProcess(), watcher);
    // The default main context, as the application's main loop runs it; 20 s at most.
    bool expired = false;
    const guint guard = g_timeout_add_seconds(
        20, [](gpointer e) { return *static_cast<bool*>(e) = true, gboolean{G_SOURCE_REMOVE}; }, &expired);
    for (uint32_t output : {1u, 3u}) {
        fs::remove(file());
        startStream(2, output, 48000);
        if (output == 3) brevlin::clap_host::standalone::audioDevicesChosenByUser();  // OK in the settings window
        while (!fs::exists(file()) && !expired) g_main_context_iteration(nullptr, TRUE);
        EXPECT_FALSE(expired) << output;
    }
    if (!expired) g_source_remove(guard);
}

TEST_F(RememberedDevices, ADamagedOrUnreadableFileStartsOnTheSystemDefaultsAndIsReplacedByTheNextWrite) {
    attach();
    // A remembered choice (no input, HDMI at 48000) that a damaged file must not give.
    const std::string remembered =
        "[defaults]\nFXCoreAudioInputDevice=\nFXCoreAudioOutputDevice=HDMI\nFXCoreAudioSampleRate=48000\n";
    const std::string others = "# the user's note\n[window]\nx=10\n";
    const Selected systemDefaults{true, 2, 1, 48000};
    const struct {
        std::string text;  // empty: a link to itself, which no one can open
        Selected expected;
    } cases[] = {
        {others + remembered, {true, 0, 3, 48000}},  // intact: the other group is kept
        {remembered + "[broken group\n", systemDefaults},
        {remembered.substr(remembered.find('\n') + 1), systemDefaults},  // no group
        {"", systemDefaults},
    };
    fs::create_directories(file().parent_path());
    for (const auto& c : cases) {
        fs::remove(file());
        if (c.text.empty()) fs::create_symlink(file(), file());
        else std::ofstream(file()) << c.text;
        EXPECT_EQ(install(), c.expected) << c.text;
        startStream(2, 3, 48000);
        FXCoreAudioPrefsWatcher().tick();
        EXPECT_EQ(stored(), (Stored{"Built-in Mic", "HDMI", 48000})) << c.text;
        std::ifstream in(file());
        const std::string written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_EQ(written.find("[window]\nx=10\n") != std::string::npos, c.text.starts_with(others)) << written;
        host->stopAudioThread();
    }
}

// The folder is the user's too: only what the program's own writes left goes.
TEST_F(RememberedDevices, StartRemovesOnlyTheTemporaryFilesOfTheProgramsWritesWhoseProcessIsGone) {
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone), alive = std::to_string(::getpid());
    const fs::path dir = file().parent_path();
    fs::create_directories(dir);
    const struct {
        std::string name;
        bool removed;
    } files[] = {
        {".defaults.conf.tmp-" + dead + "-0", true},
        {".defaults.conf.tmp-" + alive + "-1", false},  // a write still going on
        {"defaults.conf.backup", false},                // the user's, however old
        {"defaults.conf.Ab3xZ9", false},
    };
    for (const auto& f : files) {
        writeFile(dir / f.name, "[defaults]\n");
        fs::last_write_time(dir / f.name, fs::file_time_type::clock::now() - std::chrono::minutes(2));
    }
    install();
    for (const auto& f : files) EXPECT_EQ(!fs::exists(dir / f.name), f.removed) << f.name;
    ASSERT_TRUE(UserDefaults::read().write());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 4) << "no temporary file left";
}

}  // namespace
