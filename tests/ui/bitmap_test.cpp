// Bitmaps: PNG decoding and encoding, sizes in points, straight-alpha pixel access.
#include <gtest/gtest.h>

#include <cmath>

#include "lumivex_ui/bitmap.h"
#include "ui_test_support.h"

namespace lumivex::ui {
namespace {

using testing::makePng;

TEST(Bitmap, DecodesPngPixelsWithStraightAlpha) {
    const auto png = makePng(3, 2, [](int x, int y) -> Colour {
        if (x == 0 && y == 0) return {255, 0, 0, 255};
        if (x == 1 && y == 0) return {0, 0, 255, 128};
        if (x == 2 && y == 1) return {10, 20, 30, 0};
        return {0, 255, 0, 255};
    });
    auto bitmap = Bitmap::fromPng(png.data(), png.size());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->pixelWidth(), 3u);
    EXPECT_EQ(bitmap->pixelHeight(), 2u);
    PixelAccess pixels(*bitmap);
    EXPECT_EQ(pixels.get(0, 0), (Colour{255, 0, 0, 255}));
    EXPECT_EQ(pixels.get(1, 0), (Colour{0, 0, 255, 128}));
    EXPECT_EQ(pixels.get(2, 1), (Colour{0, 0, 0, 0}));
    EXPECT_EQ(pixels.get(0, 1), (Colour{0, 255, 0, 255}));
}

TEST(Bitmap, PngWithoutAlphaComesOutOpaque) {
    // An RGB24 surface written by cairo gives a PNG without an alpha channel.
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 2, 2);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 0.0, 0.0, 1.0);
    cairo_paint(cr);
    cairo_destroy(cr);
    std::vector<uint8_t> png;
    cairo_surface_write_to_png_stream(
        s,
        [](void* c, const unsigned char* d, unsigned int n) {
            static_cast<std::vector<uint8_t>*>(c)->insert(static_cast<std::vector<uint8_t>*>(c)->end(), d, d + n);
            return CAIRO_STATUS_SUCCESS;
        },
        &png);
    cairo_surface_destroy(s);

    auto bitmap = Bitmap::fromPng(png.data(), png.size());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(testing::pixelOf(*bitmap, 1, 1), (Colour{0, 0, 255, 255}));
}

TEST(Bitmap, SizeInPointsIsPixelsOverScale) {
    const auto png = makePng(78, 78, [](int, int) { return Colour{1, 2, 3, 255}; });
    auto bitmap = Bitmap::fromPng(png.data(), png.size(), 2.0);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_DOUBLE_EQ(bitmap->width(), 39.0);
    EXPECT_DOUBLE_EQ(bitmap->height(), 39.0);

    auto face = Bitmap::blank(788, 1443, 2.0);
    ASSERT_NE(face, nullptr);
    EXPECT_DOUBLE_EQ(face->height(), 721.5);
    EXPECT_FALSE(face->setScaleFactor(0.0));
    EXPECT_FALSE(face->setScaleFactor(std::nan("")));
    EXPECT_DOUBLE_EQ(face->scaleFactor(), 2.0);
}

TEST(Bitmap, RefusesWhatItCannotMake) {
    const uint8_t junk[] = {0x89, 'P', 'N', 'G', 1, 2, 3};
    EXPECT_EQ(Bitmap::fromPng(junk, sizeof junk), nullptr);
    EXPECT_EQ(Bitmap::fromPng(nullptr, 10), nullptr);
    const auto png = makePng(4, 4, [](int, int) { return Colour{}; });
    EXPECT_EQ(Bitmap::fromPng(png.data(), png.size() - 20), nullptr);  // truncated
    EXPECT_EQ(Bitmap::fromPng(png.data(), png.size(), -1.0), nullptr);
    EXPECT_EQ(Bitmap::blank(0, 5), nullptr);
    EXPECT_EQ(Bitmap::blank(40000, 5), nullptr);
    EXPECT_EQ(Bitmap::blank(5, 5, 0.0), nullptr);
}

TEST(Bitmap, BlankIsTransparentAndPixelAccessWritesThrough) {
    auto bitmap = Bitmap::blank(4, 3);
    ASSERT_NE(bitmap, nullptr);
    {
        PixelAccess pixels(*bitmap);
        EXPECT_EQ(pixels.get(3, 2), (Colour{0, 0, 0, 0}));
        pixels.set(3, 2, {200, 100, 50, 255});
        pixels.set(0, 0, {200, 100, 50, 128});
        pixels.set(4, 0, {255, 255, 255, 255});  // outside: ignored
        EXPECT_EQ(pixels.get(4, 0), (Colour{0, 0, 0, 0}));
    }
    const std::vector<Colour> all = bitmap->pixels();
    ASSERT_EQ(all.size(), 12u);
    EXPECT_EQ(all[11], (Colour{200, 100, 50, 255}));
    EXPECT_TRUE(testing::near(all[0], {200, 100, 50, 128}, 1));
    EXPECT_EQ(all[3], (Colour{0, 0, 0, 0}));  // (3, 0): the write at x = 4 did not wrap
}

TEST(Bitmap, EncodesToPngThatDecodesToTheSamePixels) {
    auto bitmap = Bitmap::blank(5, 4);
    {
        PixelAccess pixels(*bitmap);
        for (uint32_t y = 0; y < 4; ++y)
            for (uint32_t x = 0; x < 5; ++x)
                pixels.set(x, y, {static_cast<uint8_t>(x * 50), static_cast<uint8_t>(y * 60), 7, 255});
    }
    const std::vector<uint8_t> png = bitmap->encodePng();
    auto back = Bitmap::fromPng(png.data(), png.size());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->pixels(), bitmap->pixels());
}

}  // namespace
}  // namespace lumivex::ui
