// Straight RGBA <-> cairo's premultiplied ARGB32, checked over every alpha and value.
#include <gtest/gtest.h>

#include <cmath>

#include "lumivex_ui/pixel_format.h"

namespace lumivex::ui {
namespace {

TEST(PixelFormat, OpaqueValuesSurviveTheRoundTripAndKeepCairosLayout) {
    EXPECT_EQ(premultiply({0x12, 0x34, 0x56, 0xff}), 0xff123456u);
    for (int v = 0; v < 256; ++v) {
        const auto b = static_cast<uint8_t>(v);
        const Colour c{b, static_cast<uint8_t>(255 - v), b, 255};
        EXPECT_EQ(unpremultiply(premultiply(c)), c);
    }
}

TEST(PixelFormat, TranslucentValuesComeBackWithinTheirAlphasStep) {
    for (int a = 1; a < 255; ++a) {
        const double bound = 127.5 / a + 0.5;
        for (int v = 0; v < 256; ++v) {
            const auto b = static_cast<uint8_t>(v);
            const Colour back = unpremultiply(premultiply({b, b, b, static_cast<uint8_t>(a)}));
            ASSERT_EQ(back.alpha, a);
            ASSERT_LE(std::abs(back.red - v), bound) << "alpha " << a << " value " << v;
        }
    }
}

TEST(PixelFormat, ReadingAPixelAndWritingItBackNeverChangesIt) {
    for (uint32_t a = 0; a < 256; ++a) {
        for (uint32_t p = 0; p <= a; ++p) {
            const uint32_t word = (a << 24) | (p << 16) | (p << 8) | p;
            ASSERT_EQ(premultiply(unpremultiply(word)), word) << "alpha " << a << " value " << p;
        }
    }
}

TEST(PixelFormat, TransparentReadsAsZeroAndOverflowingWordsAreLimited) {
    EXPECT_EQ(unpremultiply(0x00ffffffu), (Colour{0, 0, 0, 0}));
    EXPECT_EQ(premultiply({200, 100, 50, 0}), 0u);
    // Colour above its alpha (not a valid premultiplied word) saturates.
    EXPECT_EQ(unpremultiply(0x10ff0000u), (Colour{255, 0, 0, 0x10}));
}

}  // namespace
}  // namespace lumivex::ui
