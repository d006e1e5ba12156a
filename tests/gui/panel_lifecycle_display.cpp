// The window slots as a host reaches them, and every way the panel's window goes:
// opened and closed many times, the plug-in destroyed with it open, its parent
// destroyed under it, and refused to a host that cannot drive it. The fixture
// checks at the end that no timer, fd, child window or X error was left; CI also
// runs these under AddressSanitizer, whose leak check covers the X side.
#include <string>
#include <tuple>
#include <utility>

#include "fxcoreedit/panel_editor.h"
#include "panel_fixture.h"

namespace {

using PanelLifecycle = panel::PanelFixture;

TEST_F(PanelLifecycle, TheSlotsAnswerForAnEmbeddedX11Window) {
    make();
    for (const auto& [api, floating, supported] : {std::tuple{"x11", false, true}, {"x11", true, false},
                                                  {"cocoa", false, false}, {nullptr, false, false}}) {
        EXPECT_EQ(gui->is_api_supported(plugin, api, floating), supported) << (api ? api : "null") << floating;
        EXPECT_EQ(gui->create(plugin, api, floating), supported) << (api ? api : "null") << floating;
    }
    const fxcoreplug::PanelEditor* editor = pedal->editor.get();
    EXPECT_TRUE(gui->create(plugin, "x11", false));
    EXPECT_EQ(pedal->editor.get(), editor) << "a second create keeps the editor";
    const char* api = nullptr;
    bool floating = true;
    EXPECT_TRUE(gui->get_preferred_api(plugin, &api, &floating) && std::string(api) == "x11" && !floating);
    uint32_t w = 500, h = 800;
    EXPECT_FALSE(gui->get_size(plugin, nullptr, &h));
    EXPECT_TRUE(gui->adjust_size(plugin, &w, &h));
    EXPECT_EQ(std::pair(w, h), std::pair(panel::kWidth, panel::kHeight));
    gui->destroy(plugin);
    gui->destroy(plugin);
    const clap_window window = parent.clapWindow();
    EXPECT_FALSE(gui->set_parent(plugin, &window)) << "after destroy";
    EXPECT_FALSE(gui->show(plugin));
    EXPECT_TRUE(gui->get_size(plugin, &w, &h));
    EXPECT_EQ(std::pair(w, h), std::pair(panel::kWidth, panel::kHeight)) << "without an editor";
}

TEST_F(PanelLifecycle, OpenAndCloseTwoHundredTimesLeavesNothingBehind) {
    make();
    const clap_window window = parent.clapWindow();
    ASSERT_TRUE(gui->create(plugin, CLAP_WINDOW_API_X11, false));
    host.tick();
    gui->destroy(plugin);
    EXPECT_TRUE(host.everyRegistrationRemoved() && parent.children().empty()) << "created without a parent";
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(gui->create(plugin, CLAP_WINDOW_API_X11, false));
        ASSERT_TRUE(gui->set_parent(plugin, &window));
        ASSERT_TRUE(gui->show(plugin));
        host.tick();
        host.tick();
        ASSERT_NE(parent.child(), 0u);
        ASSERT_EQ(host.timers.size(), 1u);
        EXPECT_EQ(host.timers.begin()->second, 33u);
        ASSERT_EQ(host.fds.size(), 1u);
        gui->destroy(plugin);
        ASSERT_TRUE(host.everyRegistrationRemoved());
        ASSERT_TRUE(parent.children().empty());
    }
}

TEST_F(PanelLifecycle, DestroyingThePluginWithThePanelOpenTakesEverythingBack) {
    make();
    ASSERT_NE(open(), 0u);
    pedal.reset();  // the fixture checks what is left
}

TEST_F(PanelLifecycle, ALostWindowGivesItsConnectionBack) {
    make();
    ASSERT_NE(open(), 0u);
    parent.destroy();  // takes the panel's window with it
    EXPECT_TRUE(host.runUntil([&] { return !pedal->editor->frame()->isOpen(); }));
    EXPECT_TRUE(host.fds.empty()) << "a closed connection is not watched";
    EXPECT_EQ(host.timers.size(), 1u);
}

TEST_F(PanelLifecycle, WithoutTimerSupportTheWindowIsOfferedButNotCreated) {
    host.offerTimers = false;
    make();
    EXPECT_TRUE(gui->is_api_supported(plugin, CLAP_WINDOW_API_X11, false)) << "scanners must see the window";
    EXPECT_FALSE(gui->create(plugin, CLAP_WINDOW_API_X11, false)) << "nothing could drive the panel";
    const clap_window window = parent.clapWindow();
    EXPECT_FALSE(gui->set_parent(plugin, &window));
}

}  // namespace
