// The panel's window opened and closed many times, made and dropped without a
// parent, and refused to a host that cannot drive it. The fixture checks at the end
// that no timer, fd, child window or X error was left; CI also runs these under
// AddressSanitizer, whose leak check covers what the X side allocates.
#include "panel_fixture.h"

namespace {

using PanelLifecycle = panel::PanelFixture;

TEST_F(PanelLifecycle, OpenAndCloseTwoHundredTimesLeavesNothingBehind) {
    ASSERT_TRUE(attachEntryPlugin());
    SKIP_WITHOUT_PANEL(*this);
    const clap_window window = parent.clapWindow();
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(gui->create(plugin, CLAP_WINDOW_API_X11, false));
        ASSERT_TRUE(gui->set_parent(plugin, &window));
        ASSERT_TRUE(gui->show(plugin));
        host.tick();
        host.tick();
        ASSERT_NE(parent.child(), 0u);
        ASSERT_EQ(host.liveTimers.size(), 1u);
        EXPECT_EQ(host.liveTimers.begin()->second, 33u);
        ASSERT_EQ(host.liveFds.size(), 1u);
        EXPECT_EQ(host.liveFds.begin()->second, static_cast<clap_posix_fd_flags_t>(CLAP_POSIX_FD_READ));

        gui->destroy(plugin);
        ASSERT_TRUE(host.everyRegistrationRemoved());
        ASSERT_TRUE(parent.children().empty());
    }
    EXPECT_EQ(host.timerRegistrations, 200);
    EXPECT_EQ(host.timerRemovals, 200);
    EXPECT_EQ(host.fdRegistrations, 200);
    EXPECT_EQ(host.fdRemovals, 200);
}

TEST_F(PanelLifecycle, CreateAndDestroyWithoutAParentRegistersNothing) {
    ASSERT_TRUE(attachEntryPlugin());
    SKIP_WITHOUT_PANEL(*this);
    for (int round = 0; round < 200; ++round) {
        ASSERT_TRUE(gui->create(plugin, CLAP_WINDOW_API_X11, false));
        host.tick();
        gui->destroy(plugin);
    }
    EXPECT_EQ(host.timerRegistrations, 0);
    EXPECT_EQ(host.fdRegistrations, 0);
    EXPECT_TRUE(parent.children().empty());
}

class PanelWithoutTimerSupport : public panel::PanelFixture {
protected:
    PanelWithoutTimerSupport() : PanelFixture({.timers = false, .fds = true}) {}
};

TEST_F(PanelWithoutTimerSupport, TheWindowIsOfferedButNotCreated) {
    ASSERT_TRUE(attachEntryPlugin());
    SKIP_WITHOUT_PANEL(*this);
    EXPECT_TRUE(gui->is_api_supported(plugin, CLAP_WINDOW_API_X11, false)) << "scanners must see the window";
    EXPECT_FALSE(gui->create(plugin, CLAP_WINDOW_API_X11, false)) << "nothing could drive the panel";
    const clap_window window = parent.clapWindow();
    EXPECT_FALSE(gui->set_parent(plugin, &window));
    host.tick();
    EXPECT_EQ(host.fdRegistrations, 0);
    EXPECT_TRUE(parent.children().empty());
}

}  // namespace
