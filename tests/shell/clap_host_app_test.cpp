// The application's set-up, request timer, window size, state files and quit, on
// the fake plug-in and audio library in a scratch data folder, with its main
// window and alerts recorded.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>
#include <tuple>
#include <utility>

#include "file_faults.h"
#include "host_fixture.h"
#include "shell/clap_host_app.h"
#include "standalone/audio_error_text.h"

namespace {

using namespace satest;
namespace fs = std::filesystem;
using Calls = std::vector<std::string>;
using Alerts = std::vector<std::pair<std::string, std::string>>;  // title, text
using Size = std::pair<uint32_t, uint32_t>;

constexpr unsigned long kParent = 0x4a00007;
const std::string kSetParent = "gui.set_parent x11 " + std::to_string(kParent);

struct RecordingWindow final : MainWindowPort, AlertSink {
    Calls calls;
    Alerts alerts;
    bool userResizable = false;
    std::optional<fs::path> saveChoice, openChoice;  // none: the user cancels
    std::vector<std::pair<fs::path, std::string>> saveChoosers;  // where each started: folder, name
    std::vector<fs::path> openChoosers;
    std::vector<fs::path> replaceQuestions;
    bool replace = true;  // the answer to each

    void orderFront() override { calls.push_back("orderFront"); }
    void setContentSize(uint32_t w, uint32_t h) override {
        calls.push_back("setContentSize " + std::to_string(w) + " " + std::to_string(h));
    }
    void setUserResizable(bool resizable) override { userResizable = resizable; }
    unsigned long pluginParentWindow() override { return kParent; }
    std::optional<fs::path> chooseStateFileToSave(const fs::path& folder, const std::string& name) override {
        saveChoosers.emplace_back(folder, name);
        return std::exchange(saveChoice, std::nullopt);  // a second chooser is cancelled
    }
    std::optional<fs::path> chooseStateFileToOpen(const fs::path& folder) override {
        openChoosers.push_back(folder);
        return openChoice;
    }
    bool confirmReplace(const fs::path& file) override {
        replaceQuestions.push_back(file);
        return replace;
    }
    std::function<void()> onAlert;
    void showAlert(const std::string& title, const std::string& text) override {
        if (onAlert) onAlert();
        alerts.emplace_back(title, text);
    }
};

// A plug-in whose window cannot resize, as the pedal's, on one duplex device.
struct ShellApp : HostFixture {
    fs::path root;
    RecordingWindow window;
    char arg0[8] = "Lumivex";
    char* argv[2] = {arg0, nullptr};
    ClapHostApp app{window, window, &FakeWorld::entry, FakeWorld::descriptor.id, 1, argv};

    ShellApp() {
        char pattern[] = "/tmp/lumivex-shell-XXXXXX";
        root = ::mkdtemp(pattern);
        ::setenv("XDG_DATA_HOME", root.c_str(), 1);
        world.config.extensions.insert(CLAP_EXT_GUI);
        world.config.gui.canResize = false;
        audio.devices = {{"Interface", 2, 2, {44100}, 44100}};
    }
    ~ShellApp() override {
        app.applicationWillTerminate();
        ::unsetenv("XDG_DATA_HOME");
        fs::remove_all(root);
    }

    // The GUI calls of set-up, after the proxy's own API check at creation.
    Calls setupGuiCalls() const {
        Calls gui;
        for (const std::string& call : world.last->calls)
            if (call.rfind("gui.", 0) == 0) gui.push_back(call);
        if (!gui.empty()) gui.erase(gui.begin());
        return gui;
    }
    bool audioStarted() const { return !audio.opens.empty(); }
};

const Calls kToShow = {"gui.is_api_supported x11", "gui.create x11", "gui.set_scale", "gui.get_size",
                       "gui.can_resize", kSetParent, "gui.show"};
const Calls kToDestroy = {"gui.is_api_supported x11", "gui.create x11", "gui.set_scale", "gui.get_size",
                          "gui.destroy"};

TEST_F(ShellApp, SetUpEmbedsThePluginWindowAtItsSizeStartsAudioAndQuitUndoesItOnce) {
    app.doSetup();
    EXPECT_EQ(window.calls, (Calls{"orderFront", "setContentSize 394 722"}));
    EXPECT_EQ(setupGuiCalls(), kToShow);
    EXPECT_TRUE(audioStarted());
    EXPECT_FALSE(host->gui_request_resize(300, 200)) << "the window follows, but the answer is no";
    EXPECT_EQ(window.calls.back(), "setContentSize 300 200");
    // The window cannot resize: a drag leaves it at the plug-in's size.
    EXPECT_FALSE(window.userResizable);
    EXPECT_EQ(app.windowWillResize(1000, 50), (Size{394, 722}));

    app.applicationWillTerminate();
    const Calls& quit = world.destroyedCalls;
    EXPECT_EQ(Calls(quit.end() - 4, quit.end()), (Calls{"gui.hide", "gui.destroy", "stop_processing", "deactivate"}));
    EXPECT_FALSE(app.requestTimerRunning());
    EXPECT_TRUE(fs::exists(root / "clap-standalone-host" / FakeWorld::descriptor.id / "settings.claphost"));
    app.applicationWillTerminate();
    EXPECT_EQ(world.entryCalls, (Calls{"init Lumivex", "deinit"}));
}

TEST_F(ShellApp, AResizableWindowTakesWhatThePluginAdjustsTo) {
    world.config.gui.canResize = true;  // to multiples of 10
    app.doSetup();
    EXPECT_TRUE(window.userResizable);
    EXPECT_EQ(window.calls[1], "setContentSize 390 720");
    EXPECT_EQ(app.windowWillResize(1005, 503), (Size{1000, 500}));
    app.windowDidResize(1000, 500);
    EXPECT_EQ(world.last->calls.back(), "gui.set_size 1000 500");
}

struct SetUpCase {
    const char* name;
    void (*configure)(FakeWorld&);
    std::string alert;  // the "Plugin Error" text; empty: none, and audio starts
    Calls gui;          // the GUI calls of set-up
};

void PrintTo(const SetUpCase& row, std::ostream* out) { *out << row.name; }

struct SetUp : ShellApp, ::testing::WithParamInterface<SetUpCase> {};

// After any of them the program runs on: requests are taken (and a restart needs
// a stream's rate), and quit hides and destroys whatever window the plug-in has.
TEST_P(SetUp, AlertsAndStartsAudioOnlyWhenThePluginAndItsWindowAreUsable) {
    const SetUpCase& row = GetParam();
    row.configure(world);
    app.doSetup();
    EXPECT_EQ(window.alerts, row.alert.empty() ? Alerts{} : (Alerts{{"Plugin Error", row.alert}}));
    EXPECT_EQ(audioStarted(), row.alert.empty());
    if (world.last != nullptr) {
        EXPECT_EQ(setupGuiCalls(), row.gui);
    }

    host->request_callback();
    host->restartPlugin();
    app.timerCallback();
    EXPECT_FALSE(host->callbackRequested.load() || host->restartRequested.load());
    if (!audioStarted() && world.last != nullptr) {
        EXPECT_EQ(std::count(world.last->calls.begin(), world.last->calls.end(), "activate"), 0) << "no rate";
    }

    app.applicationWillTerminate();
    const Calls& quit = world.destroyedCalls;
    const auto hide = std::find(quit.begin(), quit.end(), "gui.hide");
    EXPECT_EQ(hide != quit.end() && hide + 1 != quit.end() && hide[1] == "gui.destroy", !row.gui.empty());
}

INSTANTIATE_TEST_SUITE_P(
    ShellApp, SetUp,
    ::testing::Values(
        SetUpCase{"NoPlugin", [](FakeWorld& w) { w.offerFactory = false; }, kNoPluginText, {}},
        SetUpCase{"NoWindow", [](FakeWorld& w) { w.config.extensions.erase(CLAP_EXT_GUI); }, "", {}},
        SetUpCase{"LargestWindow", [](FakeWorld& w) { w.config.gui.width = w.config.gui.height = 16384; }, "",
                  kToShow},
        SetUpCase{"Create", [](FakeWorld& w) { w.config.gui.create = false; },
                  "The plugin failed to create its user interface.", {"gui.is_api_supported x11", "gui.create x11"}},
        SetUpCase{"GetSize", [](FakeWorld& w) { w.config.gui.getSize = false; },
                  "The plugin failed to report its window size.", kToDestroy},
        SetUpCase{"ZeroByZero", [](FakeWorld& w) { w.config.gui.width = w.config.gui.height = 0; },
                  "The plugin reported an invalid window size (0 x 0).", kToDestroy},
        SetUpCase{"TooWide", [](FakeWorld& w) { w.config.gui.width = 16385, w.config.gui.height = 16384; },
                  "The plugin reported an invalid window size (16385 x 16384).", kToDestroy},
        SetUpCase{"TooTall", [](FakeWorld& w) { w.config.gui.width = 16384, w.config.gui.height = 16385; },
                  "The plugin reported an invalid window size (16384 x 16385).", kToDestroy},
        SetUpCase{"SetParent", [](FakeWorld& w) { w.config.gui.setParent = false; },
                  "The plugin failed to embed its user interface. Please contact the plugin developer.",
                  Calls(kToShow.begin(), kToShow.end() - 1)}),
    [](const ::testing::TestParamInfo<SetUpCase>& info) { return info.param.name; });

TEST_F(ShellApp, OneTickServesTheCallbackThenReactivatesWhileTheStreamRuns) {
    audio.chosenFrames = 192;
    app.doSetup();
    FakePlugin& p = *world.last;
    ASSERT_TRUE(eventually([&] { return p.blocks.load(std::memory_order_acquire) > 0; }));
    p.calls.clear();

    host->request_callback();
    host->restartPlugin();
    app.timerCallback();
    EXPECT_EQ(p.calls, (Calls{"on_main_thread", "stop_processing", "deactivate", "activate", "start_processing"}));
    EXPECT_EQ(std::tie(p.activatedRate, p.activatedMin, p.activatedMax), std::make_tuple(44100.0, 1u, 384u))
        << "the stream's rate, up to twice its buffer";
    EXPECT_EQ(audio.opens.size(), 1u);
    const uint64_t before = p.blocks.load(std::memory_order_acquire);
    EXPECT_TRUE(eventually([&] { return p.blocks.load(std::memory_order_acquire) > before + 2; }));

    p.calls.clear();
    app.timerCallback();
    EXPECT_TRUE(p.calls.empty()) << "each request is served once";
}

TEST_F(ShellApp, AudioErrorsFromOtherThreadsAreShownAtTheNextTickAndLogged) {
    app.doSetup();
    std::thread([&] { host->reportAudioError("the device went away"); }).join();
    EXPECT_TRUE(window.alerts.empty()) << "not shown off the main thread";
    ::testing::internal::CaptureStderr();
    app.timerCallback();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error Reported: the device went away\n");
    EXPECT_EQ(window.alerts, (Alerts{{"Unable to configure audio", "the device went away"}}));
}

TEST_F(ShellApp, AServerThatGoesAwayIsToldOnceAtTheNextTick) {
    audio.api = AudioApi::UnixJack;
    app.doSetup();
    ASSERT_TRUE(eventually([&] { return audio.streamThreadBlocks.load() > 0; }));
    audio.serverGoes = true;
    ASSERT_TRUE(eventually([&] { return !host->rtaDac->stream.isRunning(); }));
    EXPECT_TRUE(window.alerts.empty());
    app.timerCallback();
    app.timerCallback();
    EXPECT_EQ(window.alerts, (Alerts{{"Unable to configure audio", kAudioServerStoppedText}}));
}

// The audio system stuck inside a look-up at start, at the settings window's
// opening and at its OK: each goes on after the bound and says so once, the pedal
// plays on, and the next look works. Quit with a look still stuck writes the
// settings.
TEST_F(ShellApp, ALookUpThatNeverAnswersIsToldOnceAndTheNextOneWorks) {
    host->libraryAnswerBound = std::chrono::milliseconds(1000);  // ample for a look that is not stuck
    const Alerts told{{"Unable to configure audio", kAudioSystemNotAnsweringText}};
    auto tellsOnce = [&](const char* where) {
        app.timerCallback();
        app.timerCallback();
        EXPECT_EQ(std::exchange(window.alerts, {}), told) << where;
        audio.releaseLookups();
        EXPECT_TRUE(host->refreshAudioDevices()) << where << ": the next look";
    };
    audio.lookupsHang = true;
    app.doSetup();
    EXPECT_FALSE(audioStarted());
    tellsOnce("start");
    host->startAudioThread();
    const struct {
        const char* where;
        std::function<void()> act;
    } actions[] = {
        {"the settings window", [&] { host->refreshAudioDevices(); }},
        {"its OK", [&] {
             host->refreshAudioDevices();
             host->startAudioThreadOn(1, 2, true, 1, 2, true, 44100);
         }},
    };
    for (const auto& action : actions) {
        audio.lookupsHang = true;
        action.act();
        EXPECT_TRUE(host->rtaDac->stream.isRunning()) << action.where;
        EXPECT_EQ(host->getOutputAudioDevices().size(), 1u) << action.where << ": the devices last seen stay";
        tellsOnce(action.where);
    }
    audio.lookupsHang = true;
    host->refreshAudioDevices();
    app.applicationWillTerminate();
    EXPECT_TRUE(fs::exists(root / "clap-standalone-host" / FakeWorld::descriptor.id / "settings.claphost"));
}

TEST_F(ShellApp, QuitWritesTheSettingsBeforeItClosesTheMidiInputs) {
    midi.ports[MidiApi::LinuxAlsa] = 1;
    app.doSetup();
    ASSERT_EQ(midi.opened.size(), 1u);
    const fs::path settings = root / "clap-standalone-host" / FakeWorld::descriptor.id / "settings.claphost";
    bool writtenFirst = false;
    midi.onDelete = [&] { writtenFirst = fs::exists(settings); };
    app.applicationWillTerminate();
    midi.onDelete = nullptr;
    EXPECT_TRUE(writtenFirst);
}

TEST_F(ShellApp, LaunchRunsSetUpFromTheMainLoopWhoseTimerServesRequests) {
    app.applicationDidFinishLaunching();
    EXPECT_TRUE(window.calls.empty()) << "set-up waits for the loop";
    for (int turns = 0; turns < 1000 && world.last == nullptr; ++turns) g_main_context_iteration(nullptr, TRUE);
    ASSERT_NE(world.last, nullptr);
    const Calls& calls = world.last->calls;
    host->request_callback();
    for (int turns = 0; turns < 1000 && calls.back() != "on_main_thread"; ++turns)
        g_main_context_iteration(nullptr, TRUE);
    EXPECT_EQ(calls.back(), "on_main_thread");
}

TEST_F(ShellApp, StateFilesGetTheChstreamExtensionAndOpenAgain) {
    app.doSetup();
    for (const auto& [chosen, written] : {std::pair{"take.wav", "take.chstream"}, std::pair{"take2", "take2.chstream"},
                                          std::pair{"take3.chstream", "take3.chstream"}}) {
        window.saveChoice = root / chosen;
        app.saveStateFileAs();
        EXPECT_TRUE(fs::exists(root / written)) << chosen;
        EXPECT_EQ(fs::exists(root / chosen), std::string(chosen) == written) << chosen;
    }
    window.openChoice = root / "take2.chstream";
    app.openStateFile();
    EXPECT_EQ(world.last->loaded, world.config.state);
    EXPECT_TRUE(window.alerts.empty());
}

TEST_F(ShellApp, SettingsThatWereNotUsedAreToldOnceAfterSetUpWithThePedalPlaying) {
    const fs::path dir = root / "clap-standalone-host" / FakeWorld::descriptor.id;
    fs::create_directories(dir);
    writeFile(dir / "settings.claphost", "damaged");
    world.config.loadResult = false;
    bool playing = false;
    window.onAlert = [&] { playing = audioStarted(); };
    app.doSetup();
    app.timerCallback();
    ASSERT_EQ(window.alerts.size(), 1u);
    EXPECT_EQ(window.alerts[0].first, "Unable to open file");
    EXPECT_NE(window.alerts[0].second.find((dir / "settings.refused.claphost").string()), std::string::npos);
    EXPECT_TRUE(playing);
}

std::string withFile(std::string text, const fs::path& file) { return text.replace(text.find("{}"), 2, file); }

// Root passes every permission check; while one of these lives, the thread does not.
struct AsAnOrdinaryUser {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2]{};
    AsAnOrdinaryUser() {
        ::syscall(SYS_capget, &header, saved);
        __user_cap_data_struct lowered[2] = {saved[0], saved[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        ::syscall(SYS_capset, &header, lowered);
    }
    ~AsAnOrdinaryUser() { ::syscall(SYS_capset, &header, saved); }
};

const std::string kOldPreset = "the preset that was there";

TEST_F(ShellApp, ASaveThatFailsIsToldWithTheFileAndWhyAndKeepsTheFileItWasToReplace) {
    app.doSetup();
    writeFile(root / "preset.chstream", kOldPreset);
    fs::create_directories(root / "locked");
    fs::permissions(root / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    const std::string kept = " The file that was there is kept as it was.";
    const struct {
        const char* chosen;
        bool fullDisk, pluginFails;
        std::string text;  // {}: the file written
    } rows[] = {
        {"locked/take", false, false, "“{}” could not be written: Permission denied."},
        {"preset", true, false, "“{}” could not be written: File too large." + kept},
        {"preset.chstream", false, true, "The plugin could not save its state to “{}”." + kept},
    };
    for (const auto& row : rows) {
        world.last->config.saveResult = !row.pluginFails;
        world.last->config.state.assign(row.fullDisk ? 64 * 1024 : 8, 0x5A);
        window.saveChoice = root / row.chosen;
        window.alerts.clear();
        {
            const AsAnOrdinaryUser user;
            std::optional<FullDisk> full;
            if (row.fullDisk) full.emplace();
            app.saveStateFileAs();
        }
        const Alerts told{{"Unable to save file", withFile(row.text, stateFilePathFor(root / row.chosen))}};
        EXPECT_EQ(window.alerts, told) << row.chosen;
    }
    fs::permissions(root / "locked", fs::perms::owner_all);
    EXPECT_EQ(textOf(root / "preset.chstream"), kOldPreset);
    EXPECT_TRUE(fs::is_empty(root / "locked"));
}

TEST_F(ShellApp, AnOpenThatFailsIsToldWithTheFileAndWhy) {
    app.doSetup();
    writeFile(root / "random.chstream", "random bytes");
    for (const auto& [chosen, pluginTakesIt, text] :
         {std::tuple{"gone.chstream", true, "“{}” could not be read: No such file or directory."},
          std::tuple{"random.chstream", false, "“{}” is not a pedal state file."}}) {
        world.last->config.loadResult = pluginTakesIt;
        window.openChoice = root / chosen;
        window.alerts.clear();
        app.openStateFile();
        const std::string told = withFile(text, root / chosen) + " The pedal keeps the settings it has.";
        EXPECT_EQ(window.alerts, (Alerts{{"Unable to open file", told}}));
    }
}

TEST_F(ShellApp, TheReplaceQuestionIsAskedOnceAboutTheFileThatWillBeWritten) {
    app.doSetup();
    int n = 0;
    for (const auto& [typed, replace] :
         {std::pair{"Untitled", true}, std::pair{"take.wav", true}, std::pair{"Untitled", false}}) {
        const fs::path folder = root / std::to_string(++n), written = stateFilePathFor(folder / typed);
        fs::create_directories(folder);
        writeFile(folder / typed, kOldPreset);
        writeFile(written, kOldPreset);
        window.replaceQuestions.clear();
        window.replace = replace;
        window.saveChoice = folder / typed;
        app.saveStateFileAs();
        EXPECT_EQ(window.replaceQuestions, std::vector{written}) << n;
        EXPECT_EQ(textOf(written) == kOldPreset, !replace) << n;
        EXPECT_EQ(textOf(folder / typed), kOldPreset) << n;
        if (!replace) { EXPECT_EQ(window.saveChoosers.back(), std::pair(folder, written.filename().string())) << n; }
    }
}

TEST_F(ShellApp, ChoosersStartInTheFolderOfTheLastStateFileSavedOrOpenedElseAtHome) {
    app.doSetup();
    const fs::path home = g_get_home_dir();
    fs::create_directories(root / "opens");
    writeFile(root / "opens" / "take.chstream", "FAKE");
    window.saveChoice = root / "take";
    app.saveStateFileAs();
    window.openChoice = root / "opens" / "take.chstream";
    app.openStateFile();
    app.saveStateFileAs();  // cancelled
    EXPECT_EQ(window.saveChoosers, (decltype(window.saveChoosers){{home, "Untitled"}, {root / "opens", "Untitled"}}));
    EXPECT_EQ(window.openChoosers, std::vector{root});
}

}  // namespace
