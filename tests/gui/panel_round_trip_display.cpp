// The shipped pedal in a host's window, both ways round: a drag on a knob reaches
// the host as a gesture with parameter values; a host's change turns the knob on
// the next tick; the BYPASS footswitch toggles the firmware's effect and the ON lamp
// follows. Pointer events go through the X server to the panel's window, and what
// the panel shows is read back from the server.
#include <algorithm>
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

class PanelRoundTrip : public panel::PanelFixture {
protected:
    explicit PanelRoundTrip(testsupport::GuiHost::Offers offers = {}) : PanelFixture(offers) {}

    double value(clap_id id) const {
        const auto* params = static_cast<const clap_plugin_params*>(plugin->get_extension(plugin, CLAP_EXT_PARAMS));
        double v = -1.0;
        EXPECT_TRUE(params->get_value(plugin, id, &v));
        return v;
    }

    // Drags the Time knob (POT0, at 0.5) up by 50 points in two moves; the plug-in
    // sees the events only in the loop's turns, fd turns alone when fdTurnsOnly.
    void dragTimeKnob(bool fdTurnsOnly) {
        ASSERT_TRUE(attachEntryPlugin());
        SKIP_WITHOUT_PANEL(*this);
        const unsigned long child = open();
        ASSERT_NE(child, 0u);
        const testsupport::Screenshot before = shot;
        const fxcoreplug::KnobSpec& time = row0().knobs[0];
        const fxcoreplug::KnobSpec& repeats = row0().knobs[1];
        host.sent.clear();

        parent.press(child, time.x, time.y);
        parent.drag(child, time.x, time.y - 30);
        parent.release(child, time.x, time.y - 50);
        parent.sync();
        ASSERT_TRUE(host.runUntil([&] { return has(host.sent, CLAP_EVENT_PARAM_GESTURE_END, 100); }, !fdTurnsOnly))
            << "the gesture never reached the host through flush (" << host.flushRequests << " flush requests)";

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
        EXPECT_NEAR(value(100), 0.75, 1e-5);

        EXPECT_TRUE(waitForScreen(child, [&](const testsupport::Screenshot& s) {
            return s.changedPixels(before, time.x, time.y, time.size / 2) > 20;
        })) << "the knob did not turn on screen";
        EXPECT_EQ(shot.changedPixels(before, repeats.x, repeats.y, repeats.size / 2), 0);
    }
};

TEST_F(PanelRoundTrip, ADragOnAKnobReachesTheHostThroughFlushHandledOnTheConnectionsFd) {
    dragTimeKnob(true);
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_EQ(host.liveFds.size(), 1u);
    EXPECT_EQ(host.liveFds.begin()->second, static_cast<clap_posix_fd_flags_t>(CLAP_POSIX_FD_READ));
}

class PanelRoundTripWithoutFdSupport : public PanelRoundTrip {
protected:
    PanelRoundTripWithoutFdSupport() : PanelRoundTrip({.timers = true, .fds = false}) {}
};

TEST_F(PanelRoundTripWithoutFdSupport, TimerTicksPumpTheEventsInstead) {
    dragTimeKnob(false);
    EXPECT_EQ(host.fdRegistrations, 0);
}

TEST_F(PanelRoundTrip, AHostParameterChangeTurnsTheKnobOnTheNextTick) {
    ASSERT_TRUE(attachEntryPlugin());
    SKIP_WITHOUT_PANEL(*this);
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
    ASSERT_TRUE(attachEntryPlugin());
    SKIP_WITHOUT_PANEL(*this);
    const unsigned long child = open();
    ASSERT_NE(child, 0u);
    ASSERT_TRUE(host.activate());
    const fxcoreplug::LedSpec& on = row0().leds[1];
    const fxcoreplug::FootswitchSpec& bypass = row0().footswitches[1];
    const auto level = [&](const testsupport::Screenshot& s) { return s.meanLevel(on.x, on.y, on.diameter / 2); };
    const double unlit = level(shot);  // nothing has played: no duty yet

    // A tick's worth of audio (33 ms) before each tick, as a running host plays;
    // gives the tick at which the lamp showed `wanted`, 0 for none of six.
    const auto ticksUntil = [&](const std::function<bool(double)>& wanted) {
        for (int tick = 1; tick <= 6; ++tick) {
            host.play(1584);
            host.tick();
            for (int attempt = 0; attempt < 20; ++attempt) {
                shot = parent.grab(child);
                if (!shot.empty() && wanted(level(shot))) return tick;
                host.serveFds(5);
            }
        }
        return 0;
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

    ASSERT_GT(ticksUntil([&](double l) { return l > unlit + 40; }), 0) << "the ON lamp never lit";
    const double lit = level(shot);

    ASSERT_TRUE(pressBypass());
    ASSERT_EQ(host.sent.size(), 4u);
    EXPECT_EQ(host.sent[0].type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
    EXPECT_EQ(host.sent[1].value, 1.0);
    EXPECT_EQ(host.sent[2].value, 0.0);
    EXPECT_EQ(host.sent[3].type, CLAP_EVENT_PARAM_GESTURE_END);
    EXPECT_GT(ticksUntil([&](double l) { return l < lit - 40; }), 0) << "bypassed, the ON lamp stayed lit";

    ASSERT_TRUE(pressBypass());
    EXPECT_GT(ticksUntil([&](double l) { return l > lit - 10; }), 0) << "engaged again, the ON lamp stayed dark";
}

}  // namespace
