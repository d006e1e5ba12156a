// FootswitchView: momentary and latching presses, their edit brackets, the mouse
// button rules and the drawing.
#include <gtest/gtest.h>

#include "fxcoreedit/footswitch_view.h"
#include "lumivex_ui/frame.h"
#include "ui_test_support.h"

namespace fxcoreplug {
namespace {

using lumivex::ui::Bitmap;
using lumivex::ui::Colour;
using lumivex::ui::MouseButtons;
using lumivex::ui::MouseResult;
using lumivex::ui::Rect;
using lumivex::ui::testing::drawView;
using lumivex::ui::testing::pixelOf;
using lumivex::ui::testing::RecordingListener;
using Log = std::vector<std::string>;

constexpr MouseButtons kLeft{MouseButtons::kLeft};

// 12 x 12 pixels: red with a blue top-left pixel.
std::shared_ptr<Bitmap> pedal() {
    return lumivex::ui::testing::makeBitmap(
        12, 12, [](int x, int y) { return x == 0 && y == 0 ? Colour{0, 0, 255, 255} : Colour{255, 0, 0, 255}; });
}

TEST(FootswitchView, MomentaryIsOnWhileHeldInsideOneEdit) {
    RecordingListener listener;
    FootswitchView fs(Rect::fromSize(0, 0, 20, 20), &listener, 301, nullptr, true);
    EXPECT_EQ(fs.onMouseDown({5, 5}, kLeft), MouseResult::Handled);
    EXPECT_EQ(fs.value(), 1.0f);
    EXPECT_TRUE(fs.editing());
    EXPECT_EQ(fs.onMouseUp({5, 5}, kLeft), MouseResult::Handled);
    EXPECT_EQ(fs.value(), 0.0f);
    EXPECT_EQ(listener.log, (Log{"begin 301", "value 301 1", "value 301 0", "end 301"}));
}

TEST(FootswitchView, LatchingFlipsWithACompleteEditAtEachPress) {
    RecordingListener listener;
    FootswitchView fs(Rect::fromSize(0, 0, 20, 20), &listener, 204, nullptr, false);
    fs.onMouseDown({5, 5}, kLeft);
    EXPECT_EQ(fs.onMouseUp({5, 5}, kLeft), MouseResult::Handled);  // the release does nothing
    fs.onMouseDown({5, 5}, kLeft);
    EXPECT_EQ(listener.log, (Log{"begin 204", "value 204 1", "end 204", "begin 204", "value 204 0", "end 204"}));
    fs.setValue(0.5f);  // not above one half: the next press turns it on
    fs.onMouseDown({5, 5}, kLeft);
    EXPECT_EQ(fs.value(), 1.0f);
}

TEST(FootswitchView, OnlyTheLeftButtonAlonePressesIt) {
    RecordingListener listener;
    FootswitchView fs(Rect::fromSize(0, 0, 20, 20), &listener, 301, nullptr, true);
    EXPECT_EQ(fs.onMouseDown({5, 5}, MouseButtons{MouseButtons::kRight}), MouseResult::NotHandled);
    EXPECT_EQ(fs.onMouseDown({5, 5}, MouseButtons{MouseButtons::kMiddle}), MouseResult::NotHandled);
    EXPECT_TRUE(listener.log.empty());
    EXPECT_EQ(fs.onMouseDown({5, 5}, MouseButtons{MouseButtons::kLeft | MouseButtons::kShift | MouseButtons::kAlt}),
              MouseResult::Handled);
    EXPECT_EQ(fs.value(), 1.0f);
}

TEST(FootswitchView, AMomentaryPressCutShortIsReleased) {
    RecordingListener listener;
    lumivex::ui::Frame frame(20, 20);
    auto* fs = frame.emplaceView<FootswitchView>(Rect::fromSize(0, 0, 20, 20), &listener, 301, nullptr, true);
    frame.dispatchMouseDown({5, 5}, kLeft);
    frame.dispatchMouseDown({5, 5}, kLeft);  // a second press while held changes nothing
    frame.close();
    EXPECT_EQ(fs->value(), 0.0f);
    EXPECT_FALSE(fs->editing());
    EXPECT_EQ(listener.log, (Log{"begin 301", "value 301 1", "value 301 0", "end 301"}));
}

TEST(FootswitchView, ClickThroughTheFrameBracketsPressAndRelease) {
    RecordingListener listener;
    lumivex::ui::Frame frame(100, 100);
    frame.emplaceView<FootswitchView>(Rect::fromSize(30, 30, 40, 40), &listener, 301, nullptr, true);
    frame.dispatchMouseDown({50, 50}, kLeft);
    frame.dispatchMouseUp({50, 50}, kLeft);
    frame.dispatchMouseDown({10, 10}, kLeft);  // outside: nobody
    frame.dispatchMouseUp({10, 10}, kLeft);
    EXPECT_EQ(listener.log, (Log{"begin 301", "value 301 1", "value 301 0", "end 301"}));
}

TEST(FootswitchView, BitmapSitsAtTheTopLeftUnscaledAndLooksTheSamePressed) {
    FootswitchView fs(Rect::fromSize(2, 2, 8, 8), nullptr, 301, pedal(), true);
    auto released = drawView(fs, 20, 20);
    EXPECT_EQ(pixelOf(*released, 2, 2), (Colour{0, 0, 255, 255}));
    EXPECT_EQ(pixelOf(*released, 9, 9), (Colour{255, 0, 0, 255}));
    EXPECT_EQ(pixelOf(*released, 10, 10).alpha, 0);  // clipped to the view, not scaled into it
    EXPECT_EQ(pixelOf(*released, 1, 1).alpha, 0);
    fs.onMouseDown({5, 5}, kLeft);
    EXPECT_EQ(drawView(fs, 20, 20)->pixels(), released->pixels());
    EXPECT_TRUE(fs.transparent());
}

}  // namespace
}  // namespace fxcoreplug
