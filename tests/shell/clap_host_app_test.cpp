// The application's set-up, request timer, window size, state files and quit, on
// the fake plug-in and audio library in a scratch data folder, with its main
// window and alerts recorded.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>

#include "host_fixture.h"
#include "shell/clap_host_app.h"

namespace {

using namespace satest;
namespace fs = std::filesystem;
using Calls = std::vector<std::string>;
using Alert = std::pair<std::string, std::string>;  // title, text
using Size = std::pair<uint32_t, uint32_t>;

constexpr unsigned long kParent = 0x4a00007;
const std::string kSetParent = "gui.set_parent x11 " + std::to_string(kParent);

struct RecordingWindow final : MainWindowPort {
    Calls calls;
    bool userResizable = false;
    std::optional<fs::path> saveChoice, openChoice;  // none: the user cancels

    void orderFront() override { calls.push_back("orderFront"); }
    void setContentSize(uint32_t w, uint32_t h) override {
        calls.push_back("setContentSize " + std::to_string(w) + " " + std::to_string(h));
    }
    void setUserResizable(bool resizable) override { userResizable = resizable; }
    unsigned long pluginParentWindow() override { return calls.push_back("pluginParentWindow"), kParent; }
    std::optional<fs::path> chooseStateFileToSave() override { return saveChoice; }
    std::optional<fs::path> chooseStateFileToOpen() override { return openChoice; }
};

struct RecordingAlerts final : AlertSink {
    std::vector<Alert> shown;
    void showAlert(const std::string& title, const std::string& text) override { shown.emplace_back(title, text); }
};

// A plug-in whose window cannot resize, as the pedal's, on one duplex device.
struct ShellApp : HostFixture {
    fs::path root;
    RecordingWindow window;
    RecordingAlerts alerts;
    char arg0[8] = "Lumivex";
    char* argv[2] = {arg0, nullptr};
    ClapHostApp app{window, alerts, &FakeWorld::entry, FakeWorld::descriptor.id, 1, argv};

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
        return Calls(gui.begin() + 1, gui.end());
    }
    bool audioStarted() const { return !audio.opens.empty(); }
};

Calls lastOf(const Calls& calls, size_t count) { return Calls(calls.end() - static_cast<ptrdiff_t>(count), calls.end()); }

TEST_F(ShellApp, SetUpEmbedsThePluginWindowAtItsSizeStartsAudioAndQuitUndoesItOnce) {
    app.doSetup();
    EXPECT_EQ(window.calls, (Calls{"orderFront", "setContentSize 394 722", "pluginParentWindow"}));
    EXPECT_EQ(setupGuiCalls(), (Calls{"gui.is_api_supported x11", "gui.create x11", "gui.set_scale", "gui.get_size",
                                      "gui.can_resize", kSetParent, "gui.show"}));
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_TRUE(audioStarted());
    EXPECT_NE(host->mainLoop, nullptr) << "the plug-in's timers have a loop to run on";
    EXPECT_FALSE(host->gui_request_resize(300, 200)) << "the window follows, but the answer is no";
    EXPECT_EQ(window.calls.back(), "setContentSize 300 200");
    // The window cannot resize: a drag leaves it at the plug-in's size.
    EXPECT_FALSE(window.userResizable);
    EXPECT_EQ(app.windowWillResize(1000, 50), (Size{394, 722}));

    app.applicationWillTerminate();
    EXPECT_EQ(lastOf(world.destroyedCalls, 4), (Calls{"gui.hide", "gui.destroy", "stop_processing", "deactivate"}));
    EXPECT_FALSE(app.requestTimerRunning());
    EXPECT_TRUE(fs::exists(root / "clap-standalone-host" / FakeWorld::descriptor.id / "settings.claphost"));
    app.applicationWillTerminate();
    EXPECT_EQ(world.entryCalls, (Calls{"init Lumivex", "deinit"}));
}

TEST_F(ShellApp, APluginWithoutAWindowIsNotEmbeddedAndAudioStarts) {
    world.config.extensions.erase(CLAP_EXT_GUI);
    app.doSetup();
    EXPECT_EQ(window.calls, (Calls{"orderFront"}));
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_TRUE(audioStarted());
}

TEST_F(ShellApp, TheLargestWindowIsAccepted) {
    world.config.gui.width = world.config.gui.height = 16384;
    app.doSetup();
    EXPECT_EQ(window.calls[1], "setContentSize 16384 16384");
    EXPECT_TRUE(audioStarted());
}

struct WindowFailure {
    const char* name;
    void (*configure)(FakeGuiConfig&);
    std::string text;
    Calls setupCalls;  // the GUI calls of set-up
};

void PrintTo(const WindowFailure& failure, std::ostream* out) { *out << failure.name; }

struct FailingWindow : ShellApp, ::testing::WithParamInterface<WindowFailure> {};

TEST_P(FailingWindow, EndsSetUpWithItsAlertWithoutAudioAndQuitStillHidesAndDestroys) {
    GetParam().configure(world.config.gui);
    app.doSetup();
    EXPECT_EQ(alerts.shown, (std::vector<Alert>{{"Plugin Error", GetParam().text}}));
    EXPECT_EQ(setupGuiCalls(), GetParam().setupCalls);
    EXPECT_FALSE(audioStarted());
    EXPECT_FALSE(host->displayError);
    EXPECT_TRUE(app.requestTimerRunning());
    host->restartPlugin();
    app.timerCallback();
    EXPECT_EQ(std::count(world.last->calls.begin(), world.last->calls.end(), "activate"), 0)
        << "no stream has run: no rate to restart at";
    app.applicationWillTerminate();
    EXPECT_EQ(lastOf(world.destroyedCalls, 2), (Calls{"gui.hide", "gui.destroy"}));
}

const Calls kToGetSize = {"gui.is_api_supported x11", "gui.create x11", "gui.set_scale", "gui.get_size"};
const Calls kToDestroy = [] {
    Calls calls = kToGetSize;
    calls.push_back("gui.destroy");
    return calls;
}();

INSTANTIATE_TEST_SUITE_P(
    ShellApp, FailingWindow,
    ::testing::Values(
        WindowFailure{"Create", [](FakeGuiConfig& g) { g.create = false; },
                      "The plugin failed to create its user interface.",
                      {"gui.is_api_supported x11", "gui.create x11"}},
        WindowFailure{"GetSize", [](FakeGuiConfig& g) { g.getSize = false; },
                      "The plugin failed to report its window size.", kToDestroy},
        WindowFailure{"ZeroByZero", [](FakeGuiConfig& g) { g.width = g.height = 0; },
                      "The plugin reported an invalid window size (0 x 0).", kToDestroy},
        WindowFailure{"TooWide", [](FakeGuiConfig& g) { g.width = 16385, g.height = 16384; },
                      "The plugin reported an invalid window size (16385 x 16384).", kToDestroy},
        WindowFailure{"TooTall", [](FakeGuiConfig& g) { g.width = 16384, g.height = 16385; },
                      "The plugin reported an invalid window size (16384 x 16385).", kToDestroy},
        WindowFailure{"SetParent", [](FakeGuiConfig& g) { g.setParent = false; },
                      "The plugin failed to embed its user interface. Please contact the plugin developer.",
                      {"gui.is_api_supported x11", "gui.create x11", "gui.set_scale", "gui.get_size",
                       "gui.can_resize", kSetParent}}),
    [](const ::testing::TestParamInfo<WindowFailure>& info) { return info.param.name; });

TEST_F(ShellApp, WithoutAPluginItSaysWhyAndRunsOnWithoutAudio) {
    world.offerFactory = false;
    app.doSetup();
    EXPECT_EQ(alerts.shown, (std::vector<Alert>{{"Plugin Error", kNoPluginText}}));
    EXPECT_FALSE(audioStarted());
    EXPECT_TRUE(app.requestTimerRunning());
    host->request_callback();
    host->restartPlugin();
    app.timerCallback();
    EXPECT_FALSE(host->callbackRequested.load() || host->restartRequested.load());
    EXPECT_EQ(app.windowWillResize(640, 480), (Size{640, 480}));
}

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
    EXPECT_EQ(p.activatedRate, 44100);
    EXPECT_EQ(p.activatedMin, 1u);
    EXPECT_EQ(p.activatedMax, 384u) << "twice the stream's buffer";
    EXPECT_EQ(audio.opens.size(), 1u);
    EXPECT_EQ(audio.stops, 0);
    const uint64_t before = p.blocks.load(std::memory_order_acquire);
    EXPECT_TRUE(eventually([&] { return p.blocks.load(std::memory_order_acquire) > before + 2; }));

    p.calls.clear();
    app.timerCallback();
    EXPECT_TRUE(p.calls.empty()) << "each request is served once";
}

TEST_F(ShellApp, AudioErrorsFromOtherThreadsAreShownAtTheNextTickAndLogged) {
    app.doSetup();
    std::thread([&] { host->reportAudioError("the device went away"); }).join();
    EXPECT_TRUE(alerts.shown.empty()) << "not shown off the main thread";
    ::testing::internal::CaptureStderr();
    app.timerCallback();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error Reported: the device went away\n");
    EXPECT_EQ(alerts.shown, (std::vector<Alert>{{"Unable to configure audio", "the device went away"}}));
}

TEST_F(ShellApp, LaunchRunsSetUpFromTheMainLoopWhoseTimerServesRequests) {
    app.applicationDidFinishLaunching();
    EXPECT_TRUE(window.calls.empty()) << "set-up waits for the loop";
    for (int turns = 0; turns < 1000 && world.last == nullptr; ++turns) g_main_context_iteration(nullptr, TRUE);
    ASSERT_NE(world.last, nullptr);
    FakePlugin& p = *world.last;
    host->request_callback();
    for (int turns = 0; turns < 1000 && p.calls.back() != "on_main_thread"; ++turns)
        g_main_context_iteration(nullptr, TRUE);
    EXPECT_EQ(p.calls.back(), "on_main_thread");
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

std::vector<uint8_t> bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(ShellApp, StateFilesGetTheChstreamExtensionInTheChosenFolder) {
    app.doSetup();
    const std::vector<uint8_t> state = world.config.state;
    for (const auto& [chosen, written] : {std::pair{"take.wav", "take.chstream"}, std::pair{"take2", "take2.chstream"},
                                          std::pair{"take3.chstream", "take3.chstream"}}) {
        window.saveChoice = root / chosen;
        app.saveStateFileAs();
        EXPECT_EQ(bytesOf(root / written), state) << chosen;
        EXPECT_EQ(fs::exists(root / chosen), std::string(chosen) == written) << chosen;
    }
    const auto entries = [&] { return std::distance(fs::directory_iterator(root), fs::directory_iterator()); };
    const auto before = entries();
    window.saveChoice.reset();
    app.saveStateFileAs();
    EXPECT_EQ(entries(), before) << "cancelled";

    window.openChoice = root / "take2.chstream";
    app.openStateFile();
    EXPECT_EQ(world.last->loaded, state);
    EXPECT_TRUE(alerts.shown.empty());
}

}  // namespace
