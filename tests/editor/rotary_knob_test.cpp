// RotaryKnob: which frame a value draws, where it lands, and that a knob without
// frames still works as a control.
#include <gtest/gtest.h>

#include "fxcoreedit/rotary_knob.h"
#include "lumivex_ui/frame.h"
#include "ui_test_support.h"

namespace fxcoreplug {
namespace {

using lumivex::ui::Bitmap;
using lumivex::ui::Colour;
using lumivex::ui::Rect;
using lumivex::ui::testing::drawView;
using lumivex::ui::testing::pixelOf;

// 128 frames of 4 x 4 pixels at scale 2 (2 x 2 points), frame i coloured (i, 255 - i, 7).
FrameList numberedFrames() {
    FrameList frames;
    for (int i = 0; i < 128; ++i) {
        frames.push_back(lumivex::ui::testing::makeBitmap(
            4, 4, [i](int, int) { return Colour{uint8_t(i), uint8_t(255 - i), 7, 255}; }, 2.0));
    }
    return frames;
}

int drawnFrame(RotaryKnob& knob) {
    auto target = drawView(knob, 10, 10, 2.0);
    return pixelOf(*target, 10, 10).red;
}

TEST(RotaryKnob, ValueSelectsTheFrameRoundingHalfAwayFromZero) {
    RotaryKnob knob(Rect::fromSize(0, 0, 10, 10), nullptr, 100, numberedFrames());
    knob.setValue(0.5f);  // 63.5 rounds to 64
    EXPECT_EQ(drawnFrame(knob), 64);
    knob.setValue(0.0f);
    EXPECT_EQ(drawnFrame(knob), 0);
    knob.setValue(1.0f);
    EXPECT_EQ(drawnFrame(knob), 127);
    knob.setValue(0.3f);  // 38.1
    EXPECT_EQ(drawnFrame(knob), 38);
}

TEST(RotaryKnob, FrameIsCentredAtItsOwnSize) {
    RotaryKnob knob(Rect::fromSize(0, 0, 10, 10), nullptr, 100, numberedFrames());
    auto target = drawView(knob, 10, 10, 2.0);  // 20 x 20 pixels; the frame covers 8 .. 11
    EXPECT_EQ(pixelOf(*target, 8, 8).alpha, 255);
    EXPECT_EQ(pixelOf(*target, 11, 11).alpha, 255);
    EXPECT_EQ(pixelOf(*target, 7, 8).alpha, 0);
    EXPECT_EQ(pixelOf(*target, 12, 11).alpha, 0);
    EXPECT_TRUE(knob.transparent());
    EXPECT_FALSE(knob.dirty());
}

TEST(RotaryKnob, MissingFramesDrawNothingButTheKnobStillTurns) {
    FrameList withHole = numberedFrames();
    withHole[64] = nullptr;
    RotaryKnob holed(Rect::fromSize(0, 0, 10, 10), nullptr, 100, std::move(withHole));
    holed.setValue(0.5f);
    holed.setDirty();
    EXPECT_EQ(pixelOf(*drawView(holed, 10, 10, 2.0), 10, 10).alpha, 0);
    EXPECT_FALSE(holed.dirty());

    lumivex::ui::Knob::setDefaultMode(lumivex::ui::KnobMode::Linear);
    lumivex::ui::testing::RecordingListener listener;
    lumivex::ui::Frame frame(50, 50);
    auto* bare = frame.emplaceView<RotaryKnob>(Rect::fromSize(0, 0, 50, 50), &listener, 101, FrameList{});
    EXPECT_EQ(frame.flush(), 1u);
    frame.dispatchMouseDown({25, 40}, lumivex::ui::MouseButtons{lumivex::ui::MouseButtons::kLeft});
    frame.dispatchMouseMoved({25, 0}, lumivex::ui::MouseButtons{lumivex::ui::MouseButtons::kLeft});
    frame.dispatchMouseUp({25, 0}, lumivex::ui::MouseButtons{lumivex::ui::MouseButtons::kLeft});
    lumivex::ui::Knob::setDefaultMode(lumivex::ui::KnobMode::Circular);
    EXPECT_FLOAT_EQ(bare->value(), 0.2f);
    EXPECT_EQ(listener.log, (std::vector<std::string>{"begin 101", "value 101 0.2", "end 101"}));
}

}  // namespace
}  // namespace fxcoreplug
