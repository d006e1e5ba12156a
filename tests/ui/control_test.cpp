// Controls: value range, normalized value, the edit bracket; the knob's drag, wheel
// and modes.
#include <gtest/gtest.h>

#include <cmath>

#include "lumivex_ui/knob.h"
#include "ui_test_support.h"

namespace lumivex::ui {
namespace {

using testing::RecordingListener;
using Log = std::vector<std::string>;

constexpr MouseButtons kLeft{MouseButtons::kLeft};
constexpr MouseButtons kLeftShift{MouseButtons::kLeft | MouseButtons::kShift};

TEST(Control, ValueStaysInItsRange) {
    Control c(Rect::fromSize(0, 0, 10, 10));
    ASSERT_TRUE(c.setRange(0.0f, 2.0f));
    c.setValue(5.0f);
    EXPECT_EQ(c.value(), 2.0f);
    c.setValue(-1.0f);
    EXPECT_EQ(c.value(), 0.0f);
    c.setValue(std::nanf(""));
    EXPECT_EQ(c.value(), 0.0f);
    c.setNormalized(0.75f);
    EXPECT_EQ(c.value(), 1.5f);
    EXPECT_EQ(c.normalized(), 0.75f);
    EXPECT_FALSE(c.setRange(1.0f, 1.0f));
    EXPECT_FALSE(c.setRange(0.0f, INFINITY));
    EXPECT_EQ(c.max(), 2.0f);
    ASSERT_TRUE(c.setRange(0.0f, 1.0f));
    EXPECT_EQ(c.value(), 1.0f);  // limited to the narrower range
}

TEST(Control, EditsNestAndAStrayEndIsRefused) {
    RecordingListener listener;
    Control c(Rect::fromSize(0, 0, 10, 10), &listener, 7);
    c.endEdit();
    c.beginEdit();
    c.beginEdit();
    c.setValue(0.5f);
    c.notifyValueChanged();
    c.endEdit();
    EXPECT_TRUE(c.editing());
    c.endEdit();
    EXPECT_FALSE(c.editing());
    EXPECT_EQ(listener.log, (Log{"begin 7", "value 7 0.5", "end 7"}));
}

TEST(Control, CopyKeepsTagRangeAndValueButNotTheEdit) {
    RecordingListener listener;
    Control c(Rect::fromSize(1, 2, 3, 4), &listener, 9);
    c.setRange(0.0f, 4.0f);
    c.setValue(3.0f);
    c.beginEdit();
    auto copy = c.clone();
    auto* control = dynamic_cast<Control*>(copy.get());
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->tag(), 9);
    EXPECT_EQ(control->value(), 3.0f);
    EXPECT_EQ(control->max(), 4.0f);
    EXPECT_EQ(control->rect(), c.rect());
    EXPECT_FALSE(control->editing());
    EXPECT_EQ(control->frame(), nullptr);
}

class KnobTest : public ::testing::Test {
protected:
    void SetUp() override { Knob::setDefaultMode(KnobMode::Linear); }
    void TearDown() override { Knob::setDefaultMode(KnobMode::Circular); }

    RecordingListener listener;
    Knob knob{Rect::fromSize(0, 0, 40, 40), &listener, 3};
};

TEST_F(KnobTest, LinearDragCoversTheRangeInTravelPoints) {
    knob.setValue(0.25f);
    ASSERT_EQ(knob.onMouseDown({20, 100}, kLeft), MouseResult::Handled);
    knob.onMouseMoved({20, 50}, kLeft);  // 50 points up: a quarter of the range
    EXPECT_FLOAT_EQ(knob.value(), 0.5f);
    knob.onMouseMoved({80, 50}, kLeft);  // sideways: nothing
    EXPECT_FLOAT_EQ(knob.value(), 0.5f);
    knob.onMouseMoved({20, 70}, kLeftShift);  // 20 down, ten times finer
    EXPECT_FLOAT_EQ(knob.value(), 0.49f);
    knob.onMouseUp({20, 70}, kLeft);
    ASSERT_EQ(listener.log.size(), 4u);
    EXPECT_EQ(listener.log.front(), "begin 3");
    EXPECT_EQ(listener.log.back(), "end 3");
    EXPECT_FALSE(knob.editing());
}

TEST_F(KnobTest, DragStopsAtTheEndsAndReportsOnlyChanges) {
    knob.setValue(0.9f);
    knob.onMouseDown({0, 300}, kLeft);
    knob.onMouseMoved({0, 0}, kLeft);
    EXPECT_EQ(knob.value(), 1.0f);
    knob.onMouseMoved({0, -10}, kLeft);  // further up: still 1, not reported again
    knob.onMouseUp({0, -10}, kLeft);
    EXPECT_EQ(listener.log, (Log{"begin 3", "value 3 1", "end 3"}));
}

TEST_F(KnobTest, OnlyTheLeftButtonAloneTurnsIt) {
    EXPECT_EQ(knob.onMouseDown({5, 5}, MouseButtons{MouseButtons::kRight}), MouseResult::NotHandled);
    EXPECT_EQ(knob.onMouseDown({5, 5}, MouseButtons{MouseButtons::kLeft | MouseButtons::kRight}),
              MouseResult::NotHandled);
    EXPECT_EQ(knob.onMouseMoved({5, 0}, kLeft), MouseResult::NotHandled);
    EXPECT_EQ(knob.onMouseUp({5, 0}, kLeft), MouseResult::NotHandled);
    EXPECT_TRUE(listener.log.empty());
}

TEST_F(KnobTest, CancelEndsTheEdit) {
    knob.onMouseDown({5, 5}, kLeft);
    knob.onMouseCancel();
    knob.onMouseCancel();
    EXPECT_EQ(listener.log, (Log{"begin 3", "end 3"}));
}

TEST_F(KnobTest, EachWheelNotchIsACompleteEdit) {
    knob.setValue(0.5f);
    EXPECT_TRUE(knob.onWheel({5, 5}, 2.0, {}));
    EXPECT_FLOAT_EQ(knob.value(), 0.6f);
    EXPECT_TRUE(knob.onWheel({5, 5}, -1.0, MouseButtons{MouseButtons::kShift}));
    EXPECT_FLOAT_EQ(knob.value(), 0.595f);
    EXPECT_FALSE(knob.onWheel({5, 5}, std::nan(""), {}));
    EXPECT_EQ(listener.log.size(), 6u);
    EXPECT_EQ(listener.log[3], "begin 3");
    EXPECT_EQ(listener.log[5], "end 3");
}

TEST_F(KnobTest, CircularModeFollowsTheAngleFromStraightUp) {
    Knob::setDefaultMode(KnobMode::Circular);
    knob.onMouseDown({20, 0}, kLeft);  // straight above the centre (20, 20)
    EXPECT_FLOAT_EQ(knob.value(), 0.5f);
    knob.onMouseMoved({40, 20}, kLeft);  // 90 degrees clockwise
    EXPECT_FLOAT_EQ(knob.value(), 225.0f / 270.0f);
    knob.onMouseMoved({0, 40}, kLeft);  // below-left: past the minimum's 135 degrees
    EXPECT_EQ(knob.value(), 0.0f);
    Knob::setDefaultMode(KnobMode::Linear);  // a change mid-drag does not switch this drag
    knob.onMouseMoved({20, 0}, kLeft);
    EXPECT_FLOAT_EQ(knob.value(), 0.5f);
    knob.onMouseUp({20, 0}, kLeft);
}

}  // namespace
}  // namespace lumivex::ui
