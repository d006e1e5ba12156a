// The window as a CLAP host reaches it: the "clap.gui" answers, and the timer and fd
// the panel registers with the host, which every way of closing must take back.
// Tests that open the panel need an X display (Xvfb in CI) and skip without one.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fake_host.h"
#include "fxcoreedit/panel_editor.h"
#include "fxcoreplug/fxcore_plugin.h"
// Last: Xlib's macros would upset the headers above.
#include "x11_parent_window.h"

// Last: Xlib's macros (None, Bool, Status...) would upset the headers above.
#include <X11/Xlib.h>

namespace {

using fxcoreplug::FXCorePlugin;
using testsupport::FakeHost;

template <class Table>
const Table& ext(const FXCorePlugin& p, const char* id) {
    const void* table = p.plugin.get_extension(&p.plugin, id);
    EXPECT_NE(table, nullptr) << id;
    return *static_cast<const Table*>(table);
}

TEST(GuiSlots, AnswersBeforeAndAfterCreate) {
    FakeHost host;
    FXCorePlugin p(&host.host);
    const clap_plugin* cp = &p.plugin;
    const auto& gui = ext<clap_plugin_gui>(p, CLAP_EXT_GUI);
    EXPECT_TRUE(gui.is_api_supported(cp, "x11", false));
    EXPECT_FALSE(gui.is_api_supported(cp, "x11", true));
    EXPECT_FALSE(gui.is_api_supported(cp, "cocoa", false));
    EXPECT_FALSE(gui.is_api_supported(cp, nullptr, false));
    const char* api = nullptr;
    bool floating = true;
    EXPECT_TRUE(gui.get_preferred_api(cp, &api, &floating));
    EXPECT_STREQ(api, "x11");
    EXPECT_FALSE(floating);

    uint32_t w = 1, h = 2;
    EXPECT_FALSE(gui.get_size(cp, nullptr, &h));
    EXPECT_EQ(h, 2u);
    EXPECT_TRUE(gui.get_size(cp, &w, &h));
    EXPECT_EQ(std::pair(w, h), std::pair(394u, 722u)) << "before create";
    const clap_window window{CLAP_WINDOW_API_X11, {.x11 = 1}};
    EXPECT_FALSE(gui.set_parent(cp, &window));
    EXPECT_FALSE(gui.show(cp));
    EXPECT_TRUE(gui.hide(cp));

    EXPECT_FALSE(gui.create(cp, nullptr, false));
    EXPECT_FALSE(gui.create(cp, "x11", true));
    ASSERT_TRUE(gui.create(cp, "x11", false));
    fxcoreplug::PanelEditor* editor = p.editor.get();
    EXPECT_TRUE(gui.create(cp, "x11", false));
    EXPECT_EQ(p.editor.get(), editor) << "a second create keeps the editor";
    EXPECT_TRUE(gui.show(cp));
    w = 500, h = 800;
    EXPECT_TRUE(gui.adjust_size(cp, &w, &h));
    EXPECT_EQ(std::pair(w, h), std::pair(394u, 722u));
    gui.destroy(cp);
    EXPECT_EQ(p.editor, nullptr);
    gui.destroy(cp);
}

class GuiHostDriving : public ::testing::Test {
protected:
    void SetUp() override {
        if (parent_.display() == nullptr) GTEST_SKIP() << "no X display";
    }
    void TearDown() override {
        plugin.reset();
        EXPECT_TRUE(host.timers.empty());
        EXPECT_TRUE(host.fds.empty());
        EXPECT_EQ(host.strayUnregisters, 0);
    }
    const clap_plugin_gui& gui() const { return ext<clap_plugin_gui>(*plugin, CLAP_EXT_GUI); }
    void openPanel() {
        plugin = std::make_unique<FXCorePlugin>(&host.host);
        ASSERT_TRUE(gui().create(&plugin->plugin, "x11", false));
        const clap_window window{CLAP_WINDOW_API_X11, {.x11 = parent_.id()}};
        ASSERT_TRUE(gui().set_parent(&plugin->plugin, &window));
    }
    void tick() {
        ASSERT_EQ(host.timers.size(), 1u);
        ext<clap_plugin_timer_support>(*plugin, CLAP_EXT_TIMER_SUPPORT).on_timer(&plugin->plugin, host.timers.begin()->first);
    }

    testsupport::ParentWindow parent_;
    FakeHost host;
    std::unique_ptr<FXCorePlugin> plugin;
};

TEST_F(GuiHostDriving, DestroyingThePluginWithThePanelOpenUnregisters) {
    openPanel();
    plugin.reset();
    EXPECT_TRUE(host.timers.empty());
    EXPECT_TRUE(host.fds.empty());
}

TEST_F(GuiHostDriving, ALostWindowGivesItsConnectionBack) {
    openPanel();
    parent_.destroy();  // takes the panel's window with it
    XSync(plugin->editor->frame()->x11Display(), False);
    tick();
    EXPECT_FALSE(plugin->editor->frame()->isOpen());
    EXPECT_TRUE(host.fds.empty()) << "a closed connection is not watched";
    EXPECT_EQ(host.timers.size(), 1u);
}

}  // namespace
