// The application on the fake plug-in, the fake audio library and a scratch data
// folder, with its main window and alerts replaced by records.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host_fixture.h"
#include "shell/clap_host_app.h"

namespace shelltest {

using namespace satest;
namespace fs = std::filesystem;

struct RecordingWindow final : MainWindowPort {
    static constexpr unsigned long kParent = 0x4a00007;
    std::vector<std::string> calls;
    bool userResizable = false;
    std::optional<fs::path> saveChoice, openChoice;  // none: the user cancels

    void orderFront() override { calls.push_back("orderFront"); }
    void setContentSize(uint32_t width, uint32_t height) override {
        calls.push_back("setContentSize " + std::to_string(width) + " " + std::to_string(height));
    }
    void setUserResizable(bool resizable) override { userResizable = resizable; }
    unsigned long pluginParentWindow() override {
        calls.push_back("pluginParentWindow");
        return kParent;
    }
    std::optional<fs::path> chooseStateFileToSave() override { return saveChoice; }
    std::optional<fs::path> chooseStateFileToOpen() override { return openChoice; }
};

struct RecordingAlerts final : AlertSink {
    using Alert = std::pair<std::string, std::string>;  // title, text
    std::vector<Alert> shown;
    void showAlert(const std::string& title, const std::string& text) override { shown.emplace_back(title, text); }
};

struct ShellApp : HostFixture {
    fs::path root;
    std::optional<std::string> savedDataHome;
    RecordingWindow window;
    RecordingAlerts alerts;
    char arg0[8] = "Lumivex";
    char* argv[2] = {arg0, nullptr};
    ClapHostApp app{window, alerts, &FakeWorld::entry, FakeWorld::descriptor.id, 1, argv};

    // A plug-in with a window that cannot resize, as the pedal's, on one duplex device.
    ShellApp() {
        char pattern[] = "/tmp/lumivex-shell-XXXXXX";
        root = ::mkdtemp(pattern);
        if (const char* home = std::getenv("XDG_DATA_HOME")) savedDataHome = home;
        ::setenv("XDG_DATA_HOME", root.c_str(), 1);
        world.config.extensions.insert(CLAP_EXT_GUI);
        world.config.gui.canResize = false;
        audio.devices = {{"Interface", 2, 2, {44100}, 44100}};
    }
    ~ShellApp() override {
        app.applicationWillTerminate();
        if (savedDataHome) ::setenv("XDG_DATA_HOME", savedDataHome->c_str(), 1);
        else ::unsetenv("XDG_DATA_HOME");
        fs::remove_all(root);
    }

    // The GUI calls of set-up: the proxy's own API check when it made the plug-in
    // comes first and is left out.
    std::vector<std::string> setupGuiCalls() const {
        std::vector<std::string> gui;
        for (const std::string& call : world.last->calls)
            if (call.rfind("gui.", 0) == 0) gui.push_back(call);
        if (!gui.empty()) gui.erase(gui.begin());
        return gui;
    }
    bool audioStarted() const { return !audio.opens.empty(); }
};

}  // namespace shelltest
