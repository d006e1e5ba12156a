// The shipped pedal in a host's window, both ways round: a drag on a knob reaches
// the host as a gesture with parameter values; a host's change turns the knob on
// the next tick; the BYPASS footswitch toggles the firmware's effect and the ON lamp
// follows. Pointer events go through the X server to the panel's window, and what
// the panel shows is read back from the server.
#include <algorithm>
#include <cmath>
#include <functional>

#include "clap_events.h"
#include "fxcoreedit/panel_layouts.h"
#include "panel_fixture.h"

namespace {

using testsupport::SentEvent;

const fxcoreplug::PanelLayout& row0() { return fxcoreplug::kPanels[0]; }

bool has(const std::vector<SentEvent>& sent, uint16_t type, clap_id param) {
    return std::any_of(sent.begin(), sent.end(), [&](const SentEvent& e) { return e.type == type && e.param == param; });
}

using PanelRoundTrip = panel::PanelFixture;
class PanelDrag : public panel::PanelFixture, public ::testing::WithParamInterface<bool> {};

// With the host's fd support the fd turns alone must carry the drag; without it
// the timer's ticks read the window's events.
TEST_P(PanelDrag, ADragOnAKnobReachesTheHostAsAGestureAndTurnsIt) {
    const bool fdSupport = GetParam();
    host.offerFds = fdSupport;
    make();
    const unsigned long child = open();
    ASSERT_NE(child, 0u);
    ASSERT_EQ(host.fds.size(), fdSupport ? 1u : 0u);
    const testsupport::Screenshot before = shot;
    const fxcoreplug::KnobSpec& time = row0().knobs[0];  // POT0 at 0.5
    const fxcoreplug::KnobSpec& repeats = row0().knobs[1];
    host.sent.clear();

    parent.press(child, time.x, time.y);
    parent.drag(child, time.x, time.y - 30);
    parent.release(child, time.x, time.y - 50);
    parent.sync();
    ASSERT_TRUE(host.runUntil([&] { return has(host.sent, CLAP_EVENT_PARAM_GESTURE_END, 100); }, !fdSupport))
        << "the gesture never reached the host through flush";

    const std::vector<SentEvent>& sent = host.sent;
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent.front().type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
    EXPECT_EQ(sent.back().type, CLAP_EVENT_PARAM_GESTURE_END);
    double last = 0.5;
    for (size_t i = 1; i + 1 < sent.size(); ++i) {
        EXPECT_EQ(sent[i].type, CLAP_EVENT_PARAM_VALUE) << i;
        EXPECT_GE(sent[i].value, last) << "an upward drag only turns the knob up";
        last = sent[i].value;
    }
    for (const SentEvent& e : sent) EXPECT_EQ(e.param, 100u);
    EXPECT_NEAR(last, 0.75, 1e-5) << "50 points of a 200-point travel";
    double value = -1.0;
    const auto* params = static_cast<const clap_plugin_params*>(plugin->get_extension(plugin, CLAP_EXT_PARAMS));
    EXPECT_TRUE(params->get_value(plugin, 100, &value) && std::abs(value - 0.75) < 1e-5) << value;

    EXPECT_TRUE(waitForScreen(child, [&](const testsupport::Screenshot& s) {
        return s.changedPixels(before, time.x, time.y, time.size / 2) > 20;
    })) << "the knob did not turn on screen";
    EXPECT_EQ(shot.changedPixels(before, repeats.x, repeats.y, repeats.size / 2), 0);
}

INSTANTIATE_TEST_SUITE_P(HostFdSupport, PanelDrag, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "FdTurns" : "TimerTicks"; });

TEST_F(PanelRoundTrip, AHostParameterChangeTurnsTheKnobOnTheNextTick) {
    make();
    const unsigned long child = open();
    ASSERT_NE(child, 0u);
    const testsupport::Screenshot before = shot;
    const fxcoreplug::KnobSpec& mix = row0().knobs[2];
    const fxcoreplug::KnobSpec& time = row0().knobs[0];
    host.sent.clear();

    testsupport::InputEvents in{testsupport::paramEvent(0, 102, 0.0)};
    host.flush(in.list());
    host.fireTimers();
    EXPECT_TRUE(waitForScreen(child, [&](const testsupport::Screenshot& s) {
        return s.changedPixels(before, mix.x, mix.y, mix.size / 2) > 20;
    })) << "one tick after the change the Mix knob still shows 0.5";
    EXPECT_EQ(shot.changedPixels(before, time.x, time.y, time.size / 2), 0);
    EXPECT_TRUE(host.sent.empty()) << "the host's own change is not echoed";
}

TEST_F(PanelRoundTrip, TheBypassFootswitchTogglesTheFirmwareAndTheOnLampFollows) {
    make();
    const unsigned long child = open();
    ASSERT_NE(child, 0u);
    ASSERT_TRUE(host.activate());
    const fxcoreplug::LedSpec& on = row0().leds[1];
    const fxcoreplug::FootswitchSpec& bypass = row0().footswitches[1];
    const auto level = [&] { return shot.meanLevel(on.x, on.y, on.diameter / 2); };
    const double unlit = level();  // nothing has played: no duty yet

    // A tick's worth of audio (33 ms) before each tick, as a running host plays;
    // true once the lamp's level passes the test within six ticks.
    const auto lampWithinSixTicks = [&](const std::function<bool(double)>& wanted) {
        for (int tick = 1; tick <= 6; ++tick) {
            host.play(1584);
            host.tick();
            if (waitForScreen(child, [&](const testsupport::Screenshot& s) {
                    return wanted(s.meanLevel(on.x, on.y, on.diameter / 2));
                }, 20))
                return true;
        }
        return false;
    };
    // Press and release; the audio thread's process drains the panel's queue.
    const auto pressBypass = [&] {
        host.sent.clear();
        parent.press(child, bypass.x, bypass.y);
        parent.release(child, bypass.x, bypass.y);
        parent.sync();
        return host.runUntil([&] {
            host.play(testsupport::GuiHost::kBlock);
            return has(host.sent, CLAP_EVENT_PARAM_GESTURE_END, 204);
        });
    };

    ASSERT_TRUE(lampWithinSixTicks([&](double l) { return l > unlit + 40; })) << "the ON lamp never lit";
    const double lit = level();

    ASSERT_TRUE(pressBypass());
    EXPECT_EQ(host.sent, (std::vector<SentEvent>{{CLAP_EVENT_PARAM_GESTURE_BEGIN, 204, 0.0},
                                                 {CLAP_EVENT_PARAM_VALUE, 204, 1.0},
                                                 {CLAP_EVENT_PARAM_VALUE, 204, 0.0},
                                                 {CLAP_EVENT_PARAM_GESTURE_END, 204, 0.0}}));
    EXPECT_TRUE(lampWithinSixTicks([&](double l) { return l < lit - 40; })) << "bypassed, the ON lamp stayed lit";

    ASSERT_TRUE(pressBypass());
    EXPECT_TRUE(lampWithinSixTicks([&](double l) { return l > lit - 10; })) << "engaged again, the ON lamp stayed dark";
}

}  // namespace
