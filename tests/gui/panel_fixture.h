// The plug-in's panel in a real X11 window, driven through nothing but its CLAP
// tables by the test host of tests/support: a fixture that opens the panel in the
// host's parent window and checks, at the end of every test, that the plug-in left
// no timer, fd, child window or X error behind.
//
// Tests skip without a display, on a screen without 24-bit colour, and while the
// plug-in answers no "clap.gui".
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "clap/clap.h"
#include "fxcoreplug/clap_entry.h"
#include "gui_host.h"
#include "x11_parent_window.h"

namespace panel {

// The parent window's colour: any of it left inside the panel's window is a pixel
// the panel did not draw.
constexpr uint32_t kUnpainted = 0xff00ff;
constexpr uint32_t kWidth = 394;
constexpr uint32_t kHeight = 722;

inline int unpaintedPixels(const testsupport::Screenshot& shot) {
    return static_cast<int>(std::count(shot.pixels.begin(), shot.pixels.end(), kUnpainted));
}

// An instance made as a host makes it: entry init, factory, create_plugin, init.
class EntryPlugin {
public:
    explicit EntryPlugin(const clap_host* host) {
        fxcoreplug::kPluginEntry.init("Lumivex.clap");
        const auto* factory =
            static_cast<const clap_plugin_factory*>(fxcoreplug::kPluginEntry.get_factory(CLAP_PLUGIN_FACTORY_ID));
        plugin_ = factory->create_plugin(factory, host, "com.quendry.lumivex");
        if (plugin_ != nullptr && !plugin_->init(plugin_)) ADD_FAILURE() << "init failed";
    }
    ~EntryPlugin() {
        if (plugin_ != nullptr) plugin_->destroy(plugin_);
        fxcoreplug::kPluginEntry.deinit();
    }
    EntryPlugin(const EntryPlugin&) = delete;
    EntryPlugin& operator=(const EntryPlugin&) = delete;
    const clap_plugin* get() const { return plugin_; }

private:
    const clap_plugin* plugin_ = nullptr;
};

#define SKIP_WITHOUT_PANEL(fixture)                                                                         \
    do {                                                                                                    \
        if (!(fixture).hasGui()) GTEST_SKIP() << "the plug-in answers no \"clap.gui\": nothing to drive yet"; \
    } while (0)

class PanelFixture : public ::testing::Test {
protected:
    explicit PanelFixture(testsupport::GuiHost::Offers offers = {}) : host(offers) {}

    void SetUp() override {
        if (!parent.opened()) GTEST_SKIP() << "no X display (cannot open $DISPLAY)";
        std::string why;
        if (!parent.trueColour(why)) GTEST_SKIP() << why;
    }

    void TearDown() override {
        if (!parent.opened()) return;
        if (gui != nullptr) gui->destroy(plugin);
        host.deactivate();
        EXPECT_TRUE(host.everyRegistrationRemoved())
            << host.liveTimers.size() << " timers and " << host.liveFds.size() << " fds still registered";
        EXPECT_EQ(host.refusedCalls, 0) << "unknown, doubled or empty registrations";
        EXPECT_EQ(host.offThreadCalls, 0);
        EXPECT_EQ(parent.children().size(), 0u) << "the panel's window outlived destroy";
        EXPECT_EQ(parent.errors(), 0);
    }

    // Drives `p` (the host must be its host) and looks up its window table, which
    // stays null when it has none.
    void attach(const clap_plugin* p) {
        plugin = p;
        host.drive(p);
        gui = static_cast<const clap_plugin_gui*>(p->get_extension(p, CLAP_EXT_GUI));
    }
    // The default plug-in, made through the entry with this host; false when the
    // factory made none.
    bool attachEntryPlugin() {
        entryPlugin = std::make_unique<EntryPlugin>(host.clap());
        if (entryPlugin->get() == nullptr) return false;
        attach(entryPlugin->get());
        return true;
    }
    bool hasGui() const { return gui != nullptr; }

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
        const bool shown = host.runUntil([&] {
            child = parent.child();
            if (child == 0) return false;
            shot = parent.grab(child);
            return !shot.empty() && unpaintedPixels(shot) == 0;
        });
        if (!shown) {
            ADD_FAILURE() << "no whole frame in the parent: " << parent.children().size() << " child windows, "
                          << unpaintedPixels(shot) << " pixels not drawn";
            return 0;
        }
        return child;
    }

    // Grabs the panel's window until `seen` holds for the shot, without turning the
    // loop: the plug-in has sent its drawing, the server may not have done it yet.
    bool waitForScreen(unsigned long child, const std::function<bool(const testsupport::Screenshot&)>& seen) {
        for (int attempt = 0; attempt < 200; ++attempt) {
            shot = parent.grab(child);
            if (!shot.empty() && seen(shot)) return true;
            host.serveFds(5);  // keeps an expose from waiting, and paces the attempts
        }
        return false;
    }

    testsupport::ParentWindow parent{kWidth, kHeight, kUnpainted};
    testsupport::GuiHost host;
    std::unique_ptr<EntryPlugin> entryPlugin;
    const clap_plugin* plugin = nullptr;
    const clap_plugin_gui* gui = nullptr;
    testsupport::Screenshot shot;  // the last one taken
};

}  // namespace panel
