// decodeImage: PNG bytes to a bitmap with its scale factor, optionally inverted.
#include <gtest/gtest.h>

#include "fxcoreedit/image_decode.h"
#include "ui_test_support.h"

namespace fxcoreplug {
namespace {

using lumivex::ui::Colour;
using lumivex::ui::PixelAccess;
using lumivex::ui::testing::makePng;

TEST(DecodeImage, InvertTurnsColoursAroundAndLeavesTransparentPixelsAlone) {
    const auto png = makePng(3, 1, [](int x, int) -> Colour {
        if (x == 0) return {255, 0, 0, 255};
        if (x == 1) return {0, 0, 0, 0};
        return {40, 80, 120, 255};
    });
    auto inverted = decodeImage(png.data(), png.size(), 1.0, true);
    ASSERT_NE(inverted, nullptr);
    PixelAccess pixels(*inverted);
    EXPECT_EQ(pixels.get(0, 0), (Colour{0, 255, 255, 255}));
    EXPECT_EQ(pixels.get(1, 0), (Colour{0, 0, 0, 0}));
    EXPECT_EQ(pixels.get(2, 0), (Colour{215, 175, 135, 255}));

    auto plain = decodeImage(png.data(), png.size(), 1.0, false);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(PixelAccess(*plain).get(0, 0), (Colour{255, 0, 0, 255}));
}

TEST(DecodeImage, TranslucentPixelsInvertWithTheirAlphaKept) {
    const auto png = makePng(1, 1, [](int, int) { return Colour{255, 255, 0, 128}; });
    auto inverted = decodeImage(png.data(), png.size(), 1.0, true);
    ASSERT_NE(inverted, nullptr);
    EXPECT_TRUE(lumivex::ui::testing::near(PixelAccess(*inverted).get(0, 0), {0, 0, 255, 128}, 1));
}

TEST(DecodeImage, ScaleFactorGivesTheSizeInPoints) {
    const auto png = makePng(78, 78, [](int, int) { return Colour{9, 9, 9, 255}; });
    auto bitmap = decodeImage(png.data(), png.size(), 2.0, false);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->pixelWidth(), 78u);
    EXPECT_DOUBLE_EQ(bitmap->scaleFactor(), 2.0);
    EXPECT_DOUBLE_EQ(bitmap->width(), 39.0);
    EXPECT_DOUBLE_EQ(bitmap->height(), 39.0);
}

TEST(DecodeImage, UndecodableBytesAndBadScalesGiveNothing) {
    const uint8_t junk[] = "not a png at all";
    EXPECT_EQ(decodeImage(junk, sizeof junk, 1.0, false), nullptr);
    EXPECT_EQ(decodeImage(nullptr, 0, 1.0, true), nullptr);
    const auto png = makePng(2, 2, [](int, int) { return Colour{}; });
    EXPECT_EQ(decodeImage(png.data(), png.size(), 0.0, false), nullptr);
}

}  // namespace
}  // namespace fxcoreplug
