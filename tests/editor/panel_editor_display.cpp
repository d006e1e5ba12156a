// The panel editor on a plug-in whose test firmware picks the layout and what each
// knob position holds, opened in a real X11 parent window (Xvfb in CI; without a
// display the tests skip). The timer is ticked by hand, as a host would.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fake_host.h"
#include "fxcoreedit/footswitch_view.h"
#include "fxcoreedit/panel_editor.h"
#include "fxcoreedit/rotary_knob.h"
#include "fxcoreplug/fxcore_plugin.h"
#include "test_programs.h"
// Last: Xlib's macros would upset the headers above.
#include "x11_parent_window.h"

namespace fxcoreplug {
namespace {

using lumivex::ui::MouseButtons;
using Log = std::vector<std::string>;

constexpr MouseButtons kLeft{MouseButtons::kLeft};
const std::string kAllKnobs = "PANEL lumivex\nPOT0 a\nPOT1 b\nPOT2 c\nPOT3 d\nPOT4 e\nPOT5 f\n";

class PanelEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (parent_.display() == nullptr) GTEST_SKIP() << "no X display";
    }

    // A plug-in with one bank of `modes` programs, all with `controls`, and its editor, open.
    void open(const std::string& controls, int modes = 1) {
        for (int m = 0; m < modes; ++m) firmware.add("t_" + std::to_string(m), testsupport::constantProgram(0.0), controls);
        plugin = std::make_unique<FXCorePlugin>(&host.host, firmware.table());
        editor = std::make_unique<PanelEditor>(*plugin);
        ASSERT_TRUE(editor->open(parent_.id()));
    }
    std::vector<int> tags() const {
        std::vector<int> out;
        for (const lumivex::ui::Control* c : editor->controls()) out.push_back(c->tag());
        return out;
    }
    // What the panel queued for the host, as "begin|value|end <id> [<value>]".
    Log drained() {
        Log log;
        clap_output_events out{&log, [](const clap_output_events* l, const clap_event_header* e) {
                                   auto& to = *static_cast<Log*>(l->ctx);
                                   const auto* g = reinterpret_cast<const clap_event_param_gesture*>(e);
                                   const auto* v = reinterpret_cast<const clap_event_param_value*>(e);
                                   to.push_back(e->type == CLAP_EVENT_PARAM_VALUE
                                                    ? "value " + std::to_string(v->param_id) + " " + std::to_string(v->value)
                                                    : (e->type == CLAP_EVENT_PARAM_GESTURE_BEGIN ? "begin " : "end ") +
                                                          std::to_string(g->param_id));
                                   return true;
                               }};
        plugin->drainGuiQueue(&out);
        return log;
    }
    int position(size_t toggle) const { return editor->toggles().at(toggle).view->position(); }

    testsupport::ParentWindow parent_;
    testsupport::FakeHost host;
    testsupport::Firmware firmware;
    std::unique_ptr<FXCorePlugin> plugin;
    std::unique_ptr<PanelEditor> editor;  // goes first
};

TEST_F(PanelEditorTest, LumivexRowWithEveryPotAKnob) {
    open(kAllKnobs);
    EXPECT_EQ(tags(), (std::vector<int>{100, 101, 102, 103, 104, 105, 301, 204}));
    ASSERT_EQ(editor->frameCache().size(), 2u);
    EXPECT_EQ(editor->frameCache().begin()->first, "fluted-large@73");
    EXPECT_EQ(editor->frameCache().rbegin()->first, "small-knob@41");
    const auto& c = editor->controls();
    const auto frames = [&](size_t i) { return dynamic_cast<RotaryKnob&>(*c[i]).frames(); };
    ASSERT_EQ(frames(0).size(), 128u);
    EXPECT_EQ(frames(0)[5], frames(2)[5]) << "one frame set per image and size";
    EXPECT_NE(frames(0)[5], frames(3)[5]);
    ASSERT_NE(editor->footswitchBitmap(true), editor->footswitchBitmap(false));
    EXPECT_EQ(dynamic_cast<FootswitchView&>(*c[6]).bitmap(), editor->footswitchBitmap(true));
    EXPECT_EQ(dynamic_cast<FootswitchView&>(*c[7]).bitmap(), editor->footswitchBitmap(false));
    for (LedView* led : editor->leds()) EXPECT_EQ(led != nullptr ? led->rect().width() : 0.0, 40.0);
    lumivex::ui::Frame* frame = editor->frame();
    ASSERT_TRUE(frame->isOpen());
    EXPECT_EQ(frame->viewCount(), 10u);
    EXPECT_EQ(frame->viewAt(9), editor->leds()[1]) << "LEDs are added last";

    EXPECT_TRUE(editor->open(parent_.id())) << "open while open";
    EXPECT_EQ(editor->frame(), frame);
    EXPECT_EQ(frame->viewCount(), 10u);
    EXPECT_EQ(editor->controls().size(), 8u);
}

TEST_F(PanelEditorTest, NonePositionGetsNoView) {
    open("PANEL lumivex\nPOT0 a\nPOT1 b\nPOT2 NONE\nPOT3 d\nPOT4 e\nPOT5 f\n");
    EXPECT_EQ(tags(), (std::vector<int>{100, 101, 103, 104, 105, 301, 204}));
    EXPECT_EQ(editor->frame()->viewCount(), 9u);
}

TEST_F(PanelEditorTest, ModeToggleHasTwoPositionsForTwoModes) {
    open("PANEL lumivex\nPOT3 MODE Voice\n", 2);  // the lever at (72, 211), 49 x 59
    ASSERT_EQ(editor->toggles().size(), 1u);
    const PanelEditor::ToggleBinding& b = editor->toggles()[0];
    EXPECT_EQ(b.kind, 4);
    EXPECT_EQ(b.pot, 3);
    EXPECT_EQ(b.view->tag(), 402);
    EXPECT_EQ(b.view->positions(), 2);
    editor->clickAt(72, 236);  // down
    editor->clickAt(72, 186);  // up
    EXPECT_EQ(drained(), (Log{"begin 402", "value 402 0.000000", "end 402", "begin 402", "value 402 2.000000", "end 402"}));
    plugin->storeParam(402, 1.0);
    editor->onHostTimer();
    EXPECT_EQ(position(0), 1) << "Mode 1 shows as the last position";
}

TEST_F(PanelEditorTest, ModeToggleHasThreePositionsForThreeModes) {
    open("PANEL lumivex\nPOT3 MODE Voice\n", 3);
    EXPECT_EQ(editor->toggles()[0].view->positions(), 3);
    editor->clickAt(72, 236);
    EXPECT_EQ(plugin->paramValue(402), 1.0);
    plugin->storeParam(402, 2.0);
    editor->onHostTimer();
    EXPECT_EQ(position(0), 0);
}

TEST_F(PanelEditorTest, SwitchTogglesSetAndFollowTheirSwitches) {
    // POT4 at (196, 211) drives SW1 alone; POT5 at (320, 211) SW1 up and SW3 down.
    open("PANEL lumivex\nPOT4 SW-TOGGLE SW1\nPOT5 SW-TOGGLE SW1 SW3\n");
    editor->clickAt(196, 186);
    EXPECT_EQ(plugin->paramValue(201), 1.0);
    editor->clickAt(196, 236);
    EXPECT_EQ(plugin->paramValue(201), 0.0);
    editor->clickAt(320, 236);
    EXPECT_EQ(plugin->paramValue(201), 0.0);
    EXPECT_EQ(plugin->paramValue(203), 1.0);

    const auto tick = [&](double sw1, double sw3) {
        plugin->storeParam(201, sw1);
        plugin->storeParam(203, sw3);
        editor->onHostTimer();
        return std::vector<int>{position(0), position(1)};
    };
    EXPECT_EQ(tick(0.5, 0.0), (std::vector<int>{0, 0}));
    EXPECT_EQ(tick(0.49, 0.0), (std::vector<int>{1, 1}));
    EXPECT_EQ(tick(0.0, 1.0), (std::vector<int>{1, 2}));
    EXPECT_EQ(tick(1.0, 1.0), (std::vector<int>{0, 0})) << "the upper switch wins";
}

TEST_F(PanelEditorTest, PotToggleShowsTheNearestPositionTiesGoingUp) {
    open("PANEL lumivex\nPOT0 POT-TOGGLE Range\n");  // at (73, 91)
    for (const auto& [value, expected] : {std::pair{0.75, 0}, {0.25, 0}, {0.9, 1}, {0.1, 2}, {0.5, 0}}) {
        plugin->storeParam(100, value);
        editor->onHostTimer();
        EXPECT_EQ(position(0), expected) << value;
    }
    editor->clickAt(73, 91);  // the middle band
    EXPECT_EQ(plugin->paramValue(100), 1.0);
    editor->clickAt(73, 116);
    EXPECT_EQ(plugin->paramValue(100), 0.0);
}

TEST_F(PanelEditorTest, TapPressSetsAndTriggersReleaseOnlySets) {
    open(kAllKnobs);
    lumivex::ui::Frame& frame = *editor->frame();
    frame.dispatchMouseDown({72, 626}, kLeft);
    EXPECT_EQ(plugin->paramValue(301), 1.0);
    EXPECT_EQ(plugin->pendingSwitchTriggers.exchange(0), 1u << 5);
    frame.dispatchMouseUp({72, 626}, kLeft);
    EXPECT_EQ(plugin->paramValue(301), 0.0);
    EXPECT_EQ(plugin->pendingSwitchTriggers.load(), 0u);
    EXPECT_EQ(drained(), (Log{"begin 301", "value 301 1.000000", "value 301 0.000000", "end 301"}));

    frame.dispatchMouseDown({324, 626}, kLeft);  // SW4, held while the panel closes
    EXPECT_EQ(plugin->pendingSwitchTriggers.load(), 1u << 4);
    editor->close();
    EXPECT_EQ(drained(), (Log{"begin 204", "value 204 1.000000", "value 204 0.000000", "end 204"}));
    EXPECT_EQ(editor->editingControl(), nullptr);
}

TEST_F(PanelEditorTest, TimerLeavesTheKnobBeingDraggedAlone) {
    open(kAllKnobs);
    lumivex::ui::Control* knob = editor->controls()[0];
    editor->frame()->dispatchMouseDown({73, 91}, kLeft);
    EXPECT_EQ(editor->editingControl(), knob);
    plugin->storeParam(100, 0.9);
    editor->onHostTimer();
    EXPECT_FLOAT_EQ(knob->normalized(), 0.5f);
    editor->frame()->dispatchMouseUp({73, 91}, kLeft);
    editor->onHostTimer();
    EXPECT_FLOAT_EQ(knob->normalized(), 0.9f);
    plugin->storeParam(100, 0.90009);
    editor->onHostTimer();
    EXPECT_FLOAT_EQ(knob->normalized(), 0.9f) << "a difference within 1e-4 is left";
    EXPECT_EQ(drained(), (Log{"begin 100", "end 100"}));
}

TEST_F(PanelEditorTest, SizeFollowsTheScale) {
    open(kAllKnobs);
    uint32_t w = 0, h = 0;
    editor->getSize(w, h);
    EXPECT_EQ(std::pair(w, h), std::pair(394u, 722u));
    editor->setScale(1.5);
    editor->getSize(w, h);
    EXPECT_EQ(std::pair(w, h), std::pair(591u, 1083u));
    EXPECT_EQ(editor->frame()->zoom(), 1.5);
    editor->setScale(-2.0);
    EXPECT_EQ(editor->scale(), 1.0);
}

TEST_F(PanelEditorTest, ClickWhileClosedDoesNothingAndReopeningRebuilds) {
    open(kAllKnobs);
    editor->close();
    EXPECT_FALSE(editor->isOpen());
    EXPECT_TRUE(editor->controls().empty());
    editor->clickAt(72, 626);
    editor->onHostTimer();
    EXPECT_EQ(plugin->paramValue(301), 0.0);
    EXPECT_TRUE(drained().empty());
    ASSERT_TRUE(editor->open(parent_.id()));
    EXPECT_EQ(editor->controls().size(), 8u);
    EXPECT_EQ(editor->frameCache().size(), 2u);
}

}  // namespace
}  // namespace fxcoreplug
