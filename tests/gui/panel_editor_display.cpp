// The panel editor on a plug-in whose test firmware picks the layout and what each
// knob position holds, opened through the window slots; the timer is ticked by
// hand, and what the panel sends is read through the host's flush.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fxcoreedit/footswitch_view.h"
#include "fxcoreedit/panel_editor.h"
#include "fxcoreedit/rotary_knob.h"
#include "panel_fixture.h"
#include "test_programs.h"

namespace fxcoreplug {
namespace {

using lumivex::ui::MouseButtons;
using testsupport::SentEvent;
using Sent = std::vector<SentEvent>;

constexpr MouseButtons kLeft{MouseButtons::kLeft};
const std::string kAllKnobs = "PANEL lumivex\nPOT0 a\nPOT1 b\nPOT2 c\nPOT3 d\nPOT4 e\nPOT5 f\n";

// A press-and-release gesture of parameter `id` with the values it went through.
Sent gesture(clap_id id, std::vector<double> values) {
    Sent out{{CLAP_EVENT_PARAM_GESTURE_BEGIN, id, 0.0}};
    for (double v : values) out.push_back({CLAP_EVENT_PARAM_VALUE, id, v});
    out.push_back({CLAP_EVENT_PARAM_GESTURE_END, id, 0.0});
    return out;
}

class PanelEditorTest : public panel::PanelFixture {
protected:
    // A new plug-in with one bank of `modes` programs, all with `controls`, and its
    // panel open.
    void open(const std::string& controls, int modes = 1) {
        pedal.reset();
        firmware = {};
        for (int m = 0; m < modes; ++m) firmware.add("t_" + std::to_string(m), testsupport::constantProgram(0.0), controls);
        make(firmware.table());
        const clap_window window = parent.clapWindow();
        ASSERT_TRUE(gui->create(plugin, CLAP_WINDOW_API_X11, false) && gui->set_parent(plugin, &window));
        editor = pedal->editor.get();
    }
    std::vector<int> tags() const {
        std::vector<int> out;
        for (const lumivex::ui::Control* c : editor->controls()) out.push_back(c->tag());
        return out;
    }
    // What the panel queued for the host since the last call.
    Sent drained() {
        host.sent.clear();
        host.flush();
        return host.sent;
    }
    int position(size_t toggle) const { return editor->toggles().at(toggle).view->position(); }

    testsupport::Firmware firmware;  // outlives the plug-in, which the fixture drops
    PanelEditor* editor = nullptr;
};

TEST_F(PanelEditorTest, AViewPerUsedPositionFootswitchesAfterKnobsLedsOnTop) {
    open("PANEL lumivex\nPOT0 a\nPOT1 b\nPOT2 NONE\nPOT3 d\nPOT4 e\nPOT5 f\n");
    EXPECT_EQ(tags(), (std::vector<int>{100, 101, 103, 104, 105, 301, 204})) << "NONE gets no view";
    EXPECT_EQ(editor->frame()->viewCount(), 9u);

    open(kAllKnobs);
    EXPECT_EQ(tags(), (std::vector<int>{100, 101, 102, 103, 104, 105, 301, 204}));
    lumivex::ui::Frame* frame = editor->frame();
    EXPECT_EQ(frame->viewCount(), 10u);
    EXPECT_EQ(frame->viewAt(9), editor->leds()[1]) << "LEDs are added last";
    for (LedView* led : editor->leds()) EXPECT_EQ(led != nullptr ? led->rect().width() : 0.0, 40.0) << "lamp and glow";
    const auto& c = editor->controls();
    EXPECT_EQ(dynamic_cast<FootswitchView&>(*c[6]).bitmap(), editor->footswitchBitmap(true));
    EXPECT_EQ(dynamic_cast<FootswitchView&>(*c[7]).bitmap(), editor->footswitchBitmap(false));
    ASSERT_NE(editor->footswitchBitmap(true), editor->footswitchBitmap(false));

    // One frame set per image and size: the two sizes of the row.
    ASSERT_EQ(editor->frameCache().size(), 2u);
    EXPECT_EQ(editor->frameCache().begin()->first, "fluted-large@73");
    EXPECT_EQ(editor->frameCache().rbegin()->first, "small-knob@41");
    const auto frames = [&](size_t i) { return dynamic_cast<RotaryKnob&>(*c[i]).frames(); };
    ASSERT_EQ(frames(0).size(), 128u);
    EXPECT_EQ(frames(0)[5], frames(2)[5]);
    EXPECT_NE(frames(0)[5], frames(3)[5]);

    EXPECT_TRUE(editor->open(parent.id())) << "open while open";
    EXPECT_EQ(editor->frame(), frame);
    EXPECT_EQ(frame->viewCount(), 10u);

    editor->close();
    EXPECT_TRUE(editor->controls().empty());
    editor->clickAt(72, 626);
    editor->onHostTimer();
    EXPECT_EQ(pedal->paramValue(301), 0.0) << "a click while closed";
    EXPECT_TRUE(drained().empty());
    ASSERT_TRUE(editor->open(parent.id()));
    EXPECT_EQ(editor->controls().size(), 8u) << "reopening rebuilds";
    EXPECT_EQ(editor->frameCache().size(), 2u);
}

// The Mode lever at (72, 211): two positions for two modes, three for three.
TEST_F(PanelEditorTest, ModeToggleSetsAndShowsTheMode) {
    struct Row {
        int modes;
        std::vector<double> clicksY, modesSet;
        double modeStored;
        int shown;
    };
    for (const Row& r : {Row{2, {236, 186}, {0.0, 2.0}, 1.0, 1}, Row{3, {236}, {1.0}, 2.0, 0}}) {
        SCOPED_TRACE(r.modes);
        open("PANEL lumivex\nPOT3 MODE Voice\n", r.modes);
        ASSERT_EQ(editor->toggles().size(), 1u);
        EXPECT_EQ(editor->toggles()[0].view->positions(), r.modes);
        Sent expected;
        for (size_t i = 0; i < r.clicksY.size(); ++i) {
            editor->clickAt(72, r.clicksY[i]);
            const Sent one = gesture(402, {r.modesSet[i]});
            expected.insert(expected.end(), one.begin(), one.end());
        }
        EXPECT_EQ(drained(), expected);
        pedal->storeParam(402, r.modeStored);
        editor->onHostTimer();
        EXPECT_EQ(position(0), r.shown) << "Mode " << r.modeStored;
    }
}

TEST_F(PanelEditorTest, SwitchTogglesSetAndFollowTheirSwitches) {
    // POT4 at (196, 211) drives SW1 alone; POT5 at (320, 211) SW1 up and SW3 down.
    open("PANEL lumivex\nPOT4 SW-TOGGLE SW1\nPOT5 SW-TOGGLE SW1 SW3\n");
    editor->clickAt(196, 186);
    EXPECT_EQ(pedal->paramValue(201), 1.0);
    editor->clickAt(196, 236);
    EXPECT_EQ(pedal->paramValue(201), 0.0);
    editor->clickAt(320, 236);
    EXPECT_EQ(std::pair(pedal->paramValue(201), pedal->paramValue(203)), std::pair(0.0, 1.0));

    const auto tick = [&](double sw1, double sw3) {
        pedal->storeParam(201, sw1);
        pedal->storeParam(203, sw3);
        editor->onHostTimer();
        return std::pair(position(0), position(1));
    };
    EXPECT_EQ(tick(0.5, 0.0), std::pair(0, 0));
    EXPECT_EQ(tick(0.49, 0.0), std::pair(1, 1));
    EXPECT_EQ(tick(0.0, 1.0), std::pair(1, 2));
    EXPECT_EQ(tick(1.0, 1.0), std::pair(0, 0)) << "the upper switch wins";
}

TEST_F(PanelEditorTest, PotToggleShowsTheNearestPositionTiesGoingUp) {
    open("PANEL lumivex\nPOT0 POT-TOGGLE Range\n");  // at (73, 91)
    for (const auto& [value, expected] : {std::pair{0.75, 0}, {0.25, 0}, {0.9, 1}, {0.1, 2}, {0.5, 0}}) {
        pedal->storeParam(100, value);
        editor->onHostTimer();
        EXPECT_EQ(position(0), expected) << value;
    }
    editor->clickAt(73, 91);  // the middle band
    EXPECT_EQ(pedal->paramValue(100), 1.0);
    editor->clickAt(73, 116);
    EXPECT_EQ(pedal->paramValue(100), 0.0);
}

TEST_F(PanelEditorTest, TapPressSetsAndTriggersReleaseOnlySets) {
    open(kAllKnobs);
    lumivex::ui::Frame& frame = *editor->frame();
    frame.dispatchMouseDown({72, 626}, kLeft);
    EXPECT_EQ(pedal->paramValue(301), 1.0);
    EXPECT_EQ(pedal->pendingSwitchTriggers.exchange(0), 1u << 5);
    frame.dispatchMouseUp({72, 626}, kLeft);
    EXPECT_EQ(pedal->paramValue(301), 0.0);
    EXPECT_EQ(pedal->pendingSwitchTriggers.load(), 0u);
    EXPECT_EQ(drained(), gesture(301, {1.0, 0.0}));

    frame.dispatchMouseDown({324, 626}, kLeft);  // SW4, held while the panel closes
    EXPECT_EQ(pedal->pendingSwitchTriggers.load(), 1u << 4);
    editor->close();
    EXPECT_EQ(drained(), gesture(204, {1.0, 0.0}));
    EXPECT_EQ(editor->editingControl(), nullptr);
}

TEST_F(PanelEditorTest, TimerLeavesTheKnobBeingDraggedAlone) {
    open(kAllKnobs);
    lumivex::ui::Control* knob = editor->controls()[0];
    editor->frame()->dispatchMouseDown({73, 91}, kLeft);
    EXPECT_EQ(editor->editingControl(), knob);
    pedal->storeParam(100, 0.9);
    editor->onHostTimer();
    EXPECT_FLOAT_EQ(knob->normalized(), 0.5f);
    editor->frame()->dispatchMouseUp({73, 91}, kLeft);
    editor->onHostTimer();
    EXPECT_FLOAT_EQ(knob->normalized(), 0.9f);
    pedal->storeParam(100, 0.90009);
    editor->onHostTimer();
    EXPECT_FLOAT_EQ(knob->normalized(), 0.9f) << "a difference within 1e-4 is left";
    EXPECT_EQ(drained(), gesture(100, {}));
}

TEST_F(PanelEditorTest, SizeFollowsTheScale) {
    open(kAllKnobs);
    uint32_t w = 0, h = 0;
    editor->setScale(1.5);
    editor->getSize(w, h);
    EXPECT_EQ(std::pair(w, h), std::pair(591u, 1083u));
    EXPECT_EQ(editor->frame()->zoom(), 1.5);
    editor->setScale(-2.0);
    EXPECT_EQ(editor->scale(), 1.0);
}

}  // namespace
}  // namespace fxcoreplug
