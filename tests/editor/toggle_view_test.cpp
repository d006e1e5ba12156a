// ToggleView: position counts, the click bands, setPosition, and the bitmap shown.
#include <gtest/gtest.h>

#include "fxcoreedit/toggle_view.h"
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
constexpr Colour kUp{255, 0, 0, 255};
constexpr Colour kMid{0, 255, 0, 255};
constexpr Colour kDown{0, 0, 255, 255};

std::shared_ptr<Bitmap> solid(Colour c) {
    return lumivex::ui::testing::makeBitmap(4, 4, [c](int, int) { return c; });
}

class ToggleTest : public ::testing::Test {
protected:
    ToggleView make(int positions, bool withMiddle = true) {
        return ToggleView(Rect::fromSize(0, 0, 50, 60), &listener, 402, solid(kUp), withMiddle ? solid(kMid) : nullptr,
                          solid(kDown), positions);
    }
    static Colour shown(ToggleView& toggle) { return pixelOf(*drawView(toggle, 50, 60), 25, 30); }

    RecordingListener listener;
};

TEST_F(ToggleTest, TwoOrThreePositionsWithTheirStartAndRange) {
    for (const int requested : {-1, 1, 2}) {
        ToggleView toggle = make(requested);
        EXPECT_EQ(toggle.positions(), 2) << requested;
        EXPECT_EQ(toggle.position(), 0);
        EXPECT_EQ(toggle.max(), 1.0f);
    }
    for (const int requested : {3, 7}) {
        ToggleView toggle = make(requested);
        EXPECT_EQ(toggle.positions(), 3) << requested;
        EXPECT_EQ(toggle.position(), 1);
        EXPECT_EQ(toggle.max(), 2.0f);
    }
    EXPECT_TRUE(make(3).transparent());
}

TEST_F(ToggleTest, ClickingABandMovesTheLeverThereInOneEdit) {
    ToggleView toggle = make(3);
    EXPECT_EQ(toggle.onMouseDown({25, 45}, kLeft), MouseResult::Handled);  // lower third
    EXPECT_EQ(toggle.position(), 2);
    EXPECT_TRUE(toggle.dirty());
    EXPECT_EQ(toggle.onMouseDown({25, 5}, kLeft), MouseResult::Handled);
    EXPECT_EQ(toggle.position(), 0);
    EXPECT_EQ(listener.log, (Log{"begin 402", "value 402 2", "end 402", "begin 402", "value 402 0", "end 402"}));
}

TEST_F(ToggleTest, BandsOfATwoPositionToggleAreHalves) {
    ToggleView toggle = make(2);
    toggle.onMouseDown({25, 29.9}, kLeft);
    EXPECT_EQ(toggle.position(), 0);
    toggle.onMouseDown({25, 30}, kLeft);
    EXPECT_EQ(toggle.position(), 1);
    toggle.onMouseDown({25, 500}, kLeft);  // below the view: the last band
    toggle.onMouseDown({25, -500}, kLeft);  // above: the first
    EXPECT_EQ(toggle.position(), 0);
}

TEST_F(ToggleTest, ClickingTheBandItShowsTellsNoOne) {
    ToggleView toggle = make(3);
    toggle.setDirty(false);
    EXPECT_EQ(toggle.onMouseDown({25, 30}, kLeft), MouseResult::Handled);
    EXPECT_TRUE(listener.log.empty());
    EXPECT_FALSE(toggle.dirty());
}

TEST_F(ToggleTest, OnlyTheLeftButtonAloneClicksModifiersDoNotMatter) {
    ToggleView toggle = make(3);
    EXPECT_EQ(toggle.onMouseDown({25, 5}, MouseButtons{MouseButtons::kRight}), MouseResult::NotHandled);
    EXPECT_EQ(toggle.onMouseDown({25, 5}, MouseButtons{MouseButtons::kMiddle}), MouseResult::NotHandled);
    EXPECT_EQ(toggle.onMouseDown({25, 5}, MouseButtons{MouseButtons::kLeft | MouseButtons::kRight}),
              MouseResult::NotHandled);
    EXPECT_EQ(toggle.position(), 1);
    EXPECT_EQ(toggle.onMouseDown({25, 5}, MouseButtons{MouseButtons::kLeft | MouseButtons::kShift}),
              MouseResult::Handled);
    EXPECT_EQ(toggle.position(), 0);
}

TEST_F(ToggleTest, SetPositionIsLimitedRedrawsAndTellsNoOne) {
    ToggleView toggle = make(2);
    toggle.setDirty(false);
    toggle.setPosition(2);  // what a Mode of 1 asks of a two-position toggle
    EXPECT_EQ(toggle.position(), 1);
    EXPECT_EQ(toggle.value(), 1.0f);
    EXPECT_TRUE(toggle.dirty());
    toggle.setPosition(-4);
    EXPECT_EQ(toggle.position(), 0);
    EXPECT_TRUE(listener.log.empty());
}

TEST_F(ToggleTest, EachPositionShowsItsBitmapCentred) {
    ToggleView three = make(3);
    three.setPosition(0);
    EXPECT_EQ(shown(three), kUp);
    three.setPosition(1);
    EXPECT_EQ(shown(three), kMid);
    three.setPosition(2);
    EXPECT_EQ(shown(three), kDown);
    auto image = drawView(three, 50, 60);  // 4 x 4 points centred: 23 .. 26, 28 .. 31
    EXPECT_EQ(pixelOf(*image, 23, 28), kDown);
    EXPECT_EQ(pixelOf(*image, 22, 28).alpha, 0);
    EXPECT_EQ(pixelOf(*image, 27, 31).alpha, 0);

    ToggleView two = make(2);
    two.setPosition(1);
    EXPECT_EQ(shown(two), kDown);  // the second of two is down, not the middle

    ToggleView noMiddle = make(3, false);
    EXPECT_EQ(shown(noMiddle).alpha, 0);
}

TEST_F(ToggleTest, ThroughTheFrameAClickIsABracketedEdit) {
    lumivex::ui::Frame frame(50, 60);
    auto* toggle = frame.emplaceView<ToggleView>(Rect::fromSize(0, 0, 50, 60), &listener, 103, solid(kUp),
                                                 solid(kMid), solid(kDown), 3);
    frame.dispatchMouseDown({25, 59}, kLeft);
    frame.dispatchMouseUp({25, 59}, kLeft);
    EXPECT_EQ(toggle->position(), 2);
    EXPECT_EQ(listener.log, (Log{"begin 103", "value 103 2", "end 103"}));
    frame.flush();
    EXPECT_EQ(pixelOf(*frame.buffer(), 25, 30), kDown);
}

}  // namespace
}  // namespace fxcoreplug
