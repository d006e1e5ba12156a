// The plug-in's panel in a real X11 window, driven through nothing but its CLAP
// tables by the test host of tests/support: a fixture that opens the panel in the
// host's parent window and checks, at the end of every test, that the plug-in left
// no timer, fd, child window or X error behind. Tests skip without a display and on
// a screen without 24-bit colour.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "clap/clap.h"
#include "fxcoreplug/fxcore_plugin.h"
#include "gui_host.h"
#include "x11_parent_window.h"

namespace panel {

// The parent window's colour: any of it left inside the panel's window is a pixel
// the panel did not draw.
constexpr uint32_t kUnpainted = 0xff00ff;
constexpr uint32_t kWidth = 394;
constexpr uint32_t kHeight = 722;

class PanelFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (!parent.opened()) GTEST_SKIP() << "no X display (cannot open $DISPLAY)";
        std::string why;
        if (!parent.trueColour(why)) GTEST_SKIP() << why;
    }

    void TearDown() override {
        if (!parent.opened()) return;
        if (pedal != nullptr) gui->destroy(plugin);
        host.deactivate();
        pedal.reset();
        EXPECT_TRUE(host.everyRegistrationRemoved())
            << host.timers.size() << " timers and " << host.fds.size() << " fds still registered";
        EXPECT_EQ(host.strayUnregisters, 0);
        EXPECT_EQ(parent.children().size(), 0u) << "the panel's window outlived destroy";
        EXPECT_EQ(parent.errors(), 0);
    }

    // The plug-in on `firmware` (the shipped one when empty), driven by the host.
    void make(std::span<const fxcoreplug::EmbeddedProgram> firmware = {}) {
        pedal = firmware.empty() ? std::make_unique<fxcoreplug::FXCorePlugin>(host.clap())
                                 : std::make_unique<fxcoreplug::FXCorePlugin>(host.clap(), firmware);
        plugin = &pedal->plugin;
        host.drive(plugin);
        gui = static_cast<const clap_plugin_gui*>(plugin->get_extension(plugin, CLAP_EXT_GUI));
        ASSERT_NE(gui, nullptr);
    }

    // create, set_parent and show; then turns the loop until the panel's window shows
    // a whole frame. Gives the panel's window, 0 on failure (already reported).
    unsigned long open() {
        const clap_window window = parent.clapWindow();
        if (!gui->create(plugin, CLAP_WINDOW_API_X11, false) || !gui->set_parent(plugin, &window)) {
            ADD_FAILURE() << "create or set_parent refused";
            return 0;
        }
        gui->show(plugin);
        unsigned long child = 0;
        const auto unpainted = [&] { return std::count(shot.pixels.begin(), shot.pixels.end(), kUnpainted); };
        if (host.runUntil([&] {
                child = parent.child();
                shot = child != 0 ? parent.grab(child) : testsupport::Screenshot{};
                return !shot.empty() && unpainted() == 0;
            }))
            return child;
        ADD_FAILURE() << "no whole frame in the parent: " << parent.children().size() << " child windows, "
                      << unpainted() << " pixels not drawn";
        return 0;
    }

    // Grabs the panel's window until `seen` holds for the shot, without turning the
    // loop: the plug-in has sent its drawing, the server may not have done it yet.
    bool waitForScreen(unsigned long child, const std::function<bool(const testsupport::Screenshot&)>& seen,
                       int attempts = 200) {
        for (int attempt = 0; attempt < attempts; ++attempt) {
            shot = parent.grab(child);
            if (!shot.empty() && seen(shot)) return true;
            host.serveFds(5);  // keeps an expose from waiting, and paces the attempts
        }
        return false;
    }

    testsupport::ParentWindow parent{kWidth, kHeight, kUnpainted};
    testsupport::GuiHost host;
    std::unique_ptr<fxcoreplug::FXCorePlugin> pedal;
    const clap_plugin* plugin = nullptr;
    const clap_plugin_gui* gui = nullptr;
    testsupport::Screenshot shot;  // the last one taken
};

}  // namespace panel
