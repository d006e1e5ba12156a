// The draw context: bitmaps at their own size, offsets, clipping, opacity, pixel
// snapping, ellipses with and without antialiasing, saved settings.
#include <gtest/gtest.h>

#include <cmath>

#include "lumivex_ui/canvas.h"
#include "ui_test_support.h"

namespace lumivex::ui {
namespace {

using testing::makeBitmap;
using testing::near;
using testing::pixelOf;

constexpr Colour kRed{255, 0, 0, 255};
constexpr Colour kGreen{0, 255, 0, 255};
constexpr Colour kBlue{0, 0, 255, 255};
constexpr Colour kWhite{255, 255, 255, 255};
constexpr Colour kClear{0, 0, 0, 0};

// 4 x 4 pixels in quadrants: red, green / blue, white.
std::shared_ptr<Bitmap> quadrants(double scale = 1.0) {
    return makeBitmap(4, 4, [](int x, int y) { return y < 2 ? (x < 2 ? kRed : kGreen) : (x < 2 ? kBlue : kWhite); },
                      scale);
}

TEST(Canvas, BitmapIsDrawnAtItsOwnSizeInPoints) {
    auto target = Bitmap::blank(12, 12, 2.0);
    {
        Canvas canvas(target->surface(), 2.0);
        // 4 x 4 pixels at scale 2 are 2 x 2 points: at zoom 2, one pixel per pixel.
        canvas.drawBitmap(*quadrants(2.0), Rect::fromSize(1, 1, 10, 10));
    }
    EXPECT_EQ(pixelOf(*target, 1, 1), kClear);
    EXPECT_EQ(pixelOf(*target, 2, 2), kRed);
    EXPECT_EQ(pixelOf(*target, 5, 2), kGreen);
    EXPECT_EQ(pixelOf(*target, 2, 5), kBlue);
    EXPECT_EQ(pixelOf(*target, 5, 5), kWhite);
    EXPECT_EQ(pixelOf(*target, 6, 6), kClear);
}

TEST(Canvas, OffsetPicksThePartOfTheBitmapAndDestClips) {
    auto target = Bitmap::blank(8, 8);
    {
        Canvas canvas(target->surface());
        canvas.drawBitmap(*quadrants(), Rect::fromSize(0, 0, 2, 2), {2, 2});
        canvas.drawBitmap(*quadrants(), Rect::fromSize(4, 4, 1, 1));  // only the top-left pixel
    }
    EXPECT_EQ(pixelOf(*target, 0, 0), kWhite);
    EXPECT_EQ(pixelOf(*target, 1, 1), kWhite);
    EXPECT_EQ(pixelOf(*target, 2, 2), kClear);
    EXPECT_EQ(pixelOf(*target, 4, 4), kRed);
    EXPECT_EQ(pixelOf(*target, 5, 4), kClear);
    EXPECT_EQ(pixelOf(*target, 4, 5), kClear);
}

TEST(Canvas, OpacityScalesAlpha) {
    auto target = Bitmap::blank(4, 4);
    {
        Canvas canvas(target->surface());
        canvas.drawBitmap(*quadrants(), Rect::fromSize(0, 0, 4, 4), {}, 0.5);
    }
    EXPECT_TRUE(near(pixelOf(*target, 0, 0), {255, 0, 0, 128}, 1));
}

TEST(Canvas, IntegralModeSnapsToPixelsFractionalBlends) {
    auto solid = makeBitmap(2, 2, [](int, int) { return kRed; });
    auto snapped = Bitmap::blank(4, 4);
    auto blended = Bitmap::blank(4, 4);
    {
        Canvas canvas(snapped->surface());
        canvas.drawBitmap(*solid, Rect::fromSize(0.4, 0.4, 2, 2));
    }
    {
        Canvas canvas(blended->surface());
        canvas.setDrawMode({.antialias = true, .fractional = true});
        canvas.drawBitmap(*solid, Rect::fromSize(0.4, 0.4, 2, 2));
    }
    EXPECT_EQ(pixelOf(*snapped, 0, 0), kRed);
    EXPECT_EQ(pixelOf(*snapped, 1, 1), kRed);
    EXPECT_EQ(pixelOf(*snapped, 2, 2), kClear);
    EXPECT_GT(pixelOf(*blended, 0, 0).alpha, 0);
    EXPECT_LT(pixelOf(*blended, 0, 0).alpha, 255);
    EXPECT_GT(pixelOf(*blended, 2, 2).alpha, 0);
}

TEST(Canvas, FilledEllipseWithAndWithoutAntialiasing) {
    const auto render = [](bool antialias) {
        auto target = Bitmap::blank(20, 20);
        Canvas canvas(target->surface());
        canvas.setDrawMode({.antialias = antialias, .fractional = false});
        canvas.setFillColour(kBlue);
        canvas.drawEllipse(Rect::fromSize(0, 0, 20, 20), PaintStyle::Fill);
        return target;
    };
    auto aliased = render(false);
    auto smooth = render(true);
    EXPECT_EQ(pixelOf(*aliased, 10, 10), kBlue);
    EXPECT_EQ(pixelOf(*aliased, 0, 0), kClear);
    int partialAliased = 0;
    int partialSmooth = 0;
    for (const Colour& c : aliased->pixels()) partialAliased += c.alpha != 0 && c.alpha != 255;
    for (const Colour& c : smooth->pixels()) partialSmooth += c.alpha != 0 && c.alpha != 255;
    EXPECT_EQ(partialAliased, 0);
    EXPECT_GT(partialSmooth, 10);
}

TEST(Canvas, StrokedEllipseLeavesTheInsideEmpty) {
    auto target = Bitmap::blank(21, 21);
    {
        Canvas canvas(target->surface());
        canvas.setStrokeColour(kGreen);
        canvas.setLineWidth(2.0);
        canvas.drawEllipse(Rect::fromSize(1, 1, 19, 19), PaintStyle::Stroke);
    }
    EXPECT_EQ(pixelOf(*target, 10, 10), kClear);
    EXPECT_EQ(pixelOf(*target, 10, 1), kGreen);
    EXPECT_EQ(pixelOf(*target, 1, 10), kGreen);
}

TEST(Canvas, DegenerateShapesAreSkippedWithoutSpoilingLaterDrawing) {
    auto target = Bitmap::blank(4, 4);
    {
        Canvas canvas(target->surface());
        canvas.setFillColour(kRed);
        canvas.drawEllipse(Rect::fromSize(1, 1, 0, 3), PaintStyle::Fill);
        canvas.drawEllipse(Rect{std::nan(""), 0, 2, 2}, PaintStyle::Fill);
        canvas.drawBitmap(*quadrants(), Rect::fromSize(0, 0, 4, 4), {std::nan(""), 0});
        canvas.drawRect(Rect::fromSize(0, 0, 4, 4), PaintStyle::Fill);
        EXPECT_EQ(cairo_status(canvas.cairo()), CAIRO_STATUS_SUCCESS);
    }
    EXPECT_EQ(pixelOf(*target, 3, 3), kRed);
}

TEST(Canvas, RestoreBringsBackSettingsAndClip) {
    auto target = Bitmap::blank(4, 4);
    Canvas canvas(target->surface());
    canvas.restore();  // nothing saved: ignored
    canvas.setLineWidth(3.0);
    canvas.save();
    canvas.setDrawMode({.antialias = true, .fractional = true});
    canvas.setInterpolation(Interpolation::Best);
    canvas.setLineWidth(5.0);
    canvas.setLineWidth(-1.0);  // refused
    EXPECT_EQ(canvas.lineWidth(), 5.0);
    canvas.clipTo(Rect::fromSize(0, 0, 1, 1));
    canvas.restore();
    EXPECT_EQ(canvas.drawMode(), DrawMode{});
    EXPECT_EQ(canvas.interpolation(), Interpolation::Default);
    EXPECT_EQ(canvas.lineWidth(), 3.0);
    canvas.setFillColour(kGreen);
    canvas.drawRect(Rect::fromSize(0, 0, 4, 4), PaintStyle::Fill);
    EXPECT_EQ(pixelOf(*target, 3, 3), kGreen);  // the clip went with the restore
    canvas.resetSettings();
    EXPECT_EQ(canvas.lineWidth(), 1.0);
}

}  // namespace
}  // namespace lumivex::ui
