// makeRotationFrames: frame sizes, the turn of each frame (measured on a marker in
// the pixels), the unturned middle frame, alpha-weighted interpolation and the
// transparency threshold.
#include <gtest/gtest.h>

#include <cmath>

#include "fxcoreedit/rotation_frames.h"
#include "ui_test_support.h"

namespace fxcoreplug {
namespace {

using lumivex::ui::Bitmap;
using lumivex::ui::Colour;
using lumivex::ui::PixelAccess;
using lumivex::ui::testing::makeBitmap;
using lumivex::ui::testing::near;

constexpr double kPi = 3.141592653589793;

// 161 x 161 opaque dark pixels with a white disc 60 pixels above the centre (80, 80).
std::shared_ptr<Bitmap> markedKnob() {
    return makeBitmap(161, 161, [](int x, int y) {
        const int dx = x - 80;
        const int dy = y - 20;
        return dx * dx + dy * dy <= 25 ? Colour{255, 255, 255, 255} : Colour{20, 20, 20, 255};
    });
}

// Angle of the marker about the frame's centre pixel: 0 straight up, positive
// clockwise on screen.
double markerDegrees(Bitmap& frame) {
    PixelAccess pixels(frame);
    double sum = 0, sx = 0, sy = 0;
    for (uint32_t y = 0; y < pixels.height(); ++y) {
        for (uint32_t x = 0; x < pixels.width(); ++x) {
            const int w = pixels.get(x, y).red - 20;
            if (w <= 0) continue;
            sum += w;
            sx += w * static_cast<double>(x);
            sy += w * static_cast<double>(y);
        }
    }
    const double cx = (pixels.width() - 1) * 0.5;
    const double cy = (pixels.height() - 1) * 0.5;
    return std::atan2(sx / sum - cx, cy - sy / sum) * 180.0 / kPi;
}

TEST(RotationFrames, FramesSweepFromMinus135ToPlus135WithNoneUnturned) {
    auto source = markedKnob();
    const FrameList frames = makeRotationFrames(source.get(), 128, 0.0, 135.0, 0.0);
    ASSERT_EQ(frames.size(), 128u);
    EXPECT_NEAR(markerDegrees(*frames[0]), -135.0, 0.3);
    EXPECT_NEAR(markerDegrees(*frames[127]), 135.0, 0.3);
    EXPECT_NEAR(markerDegrees(*frames[64]), 135.0 / 127.0, 0.3);  // about 1.06 degrees
    EXPECT_NEAR(markerDegrees(*frames[32]), (32.0 / 127.0 * 2.0 - 1.0) * 135.0, 0.3);
}

TEST(RotationFrames, ASingleFrameIsTurnedBackByTheOffset) {
    auto source = markedKnob();
    const FrameList frames = makeRotationFrames(source.get(), 1, 90.0, 135.0, 0.0);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_NEAR(markerDegrees(*frames[0]), -90.0, 0.3);
}

TEST(RotationFrames, MiddleOfThreeReproducesAnOpaqueSourceButItsLastRowAndColumn) {
    const auto colour = [](int x, int y) {
        return Colour{static_cast<uint8_t>(x * 30), static_cast<uint8_t>(y * 50), static_cast<uint8_t>(x * y * 9), 255};
    };
    auto source = makeBitmap(7, 5, colour);
    const FrameList frames = makeRotationFrames(source.get(), 3, 0.0, 135.0, -1.0);
    ASSERT_EQ(frames.size(), 3u);
    Bitmap& middle = *frames[1];
    ASSERT_EQ(middle.pixelWidth(), 7u);
    ASSERT_EQ(middle.pixelHeight(), 5u);
    PixelAccess pixels(middle);
    for (uint32_t y = 0; y < 5; ++y) {
        for (uint32_t x = 0; x < 7; ++x) {
            const Colour expected = (x == 6 || y == 4) ? Colour{0, 0, 0, 0} : colour(int(x), int(y));
            EXPECT_EQ(pixels.get(x, y), expected) << x << "," << y;
        }
    }
}

TEST(RotationFrames, FramesMeasureTheTargetSizeAlongTheLongerSide) {
    struct Case {
        uint32_t w, h;
        double target;
        uint32_t W, H;
    };
    for (const Case c : {Case{151, 150, 73, 146, 145}, Case{78, 78, 41, 82, 82}, Case{209, 208, 95, 190, 189},
                         Case{255, 255, 107, 214, 214}, Case{151, 150, 0, 151, 150}}) {
        auto source = Bitmap::blank(c.w, c.h, 2.0);
        const FrameList frames = makeRotationFrames(source.get(), 2, 0.0, 135.0, c.target);
        ASSERT_EQ(frames.size(), 2u);
        EXPECT_EQ(frames[1]->pixelWidth(), c.W) << c.w << " at " << c.target;
        EXPECT_EQ(frames[1]->pixelHeight(), c.H) << c.w << " at " << c.target;
        EXPECT_DOUBLE_EQ(frames[1]->scaleFactor(), 2.0);
    }
    auto fluted = Bitmap::blank(151, 150, 2.0);
    const FrameList frames = makeRotationFrames(fluted.get(), 1, 0.0, 135.0, 73.0);
    EXPECT_DOUBLE_EQ(frames[0]->width(), 73.0);
    EXPECT_DOUBLE_EQ(frames[0]->height(), 72.5);
}

// 8 x 8 pixels halved to 4 x 4 with no turn: every output pixel falls halfway
// between an even column and the odd one after it, and halfway between two equal rows.
FrameList halved(Colour even, Colour odd) {
    auto source = makeBitmap(8, 8, [&](int x, int) { return x % 2 == 0 ? even : odd; });
    return makeRotationFrames(source.get(), 1, 0.0, 135.0, 4.0);
}

TEST(RotationFrames, ColoursAreWeightedByTheirAlpha) {
    const FrameList frames = halved({255, 0, 0, 255}, {0, 0, 255, 1});
    ASSERT_EQ(frames.size(), 1u);
    ASSERT_EQ(frames[0]->pixelWidth(), 4u);
    // Alpha (255 + 1) / 2 = 128; the nearly transparent blue hardly counts.
    EXPECT_TRUE(near(PixelAccess(*frames[0]).get(1, 1), {254, 0, 0, 128}, 1));
}

TEST(RotationFrames, InterpolatedAlphaOfHalfOrLessIsTransparent) {
    const FrameList faint = halved({255, 255, 255, 1}, {0, 0, 0, 0});  // alpha 0.5
    const FrameList kept = halved({255, 255, 255, 2}, {0, 0, 0, 0});   // alpha 1
    ASSERT_EQ(faint.size(), 1u);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(PixelAccess(*faint[0]).get(2, 2), (Colour{0, 0, 0, 0}));
    EXPECT_EQ(PixelAccess(*kept[0]).get(2, 2).alpha, 1);
}

TEST(RotationFrames, NothingToMakeGivesAnEmptyList) {
    auto source = Bitmap::blank(4, 4);
    EXPECT_TRUE(makeRotationFrames(nullptr, 128, 0.0, 135.0, 10.0).empty());
    EXPECT_TRUE(makeRotationFrames(source.get(), 0, 0.0, 135.0, 10.0).empty());
    EXPECT_TRUE(makeRotationFrames(source.get(), -3, 0.0, 135.0, 10.0).empty());
    EXPECT_TRUE(makeRotationFrames(source.get(), 2, 0.0, 135.0, 0.1).empty());  // rounds to 0 pixels
    EXPECT_TRUE(makeRotationFrames(source.get(), 2, 0.0, 135.0, 1e9).empty());  // no bitmap that large
}

}  // namespace
}  // namespace fxcoreplug
