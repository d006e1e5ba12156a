// makeRotationFrames: frame sizes, the turn of each frame (measured on a marker in
// the pixels), the unturned middle frame, alpha-weighted interpolation, the
// transparency threshold, and every pixel against the plain per-pixel formula.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "fxcoreedit/rotation_frames.h"
#include "ui_test_support.h"

namespace fxcoreplug {
namespace {

using lumivex::ui::Bitmap;
using lumivex::ui::Colour;
using lumivex::ui::PixelAccess;
using lumivex::ui::premultiply;
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

// The plain formula for the output pixel that lands on (u, v) of the source.
Colour referencePixel(const std::vector<Colour>& src, uint32_t w, uint32_t h, double u, double v) {
    const double fu = std::floor(u);
    const double fv = std::floor(v);
    if (fu < 0.0 || fv < 0.0 || fu + 1.0 >= w || fv + 1.0 >= h) return {0, 0, 0, 0};
    const Colour* p = &src[static_cast<size_t>(fv) * w + static_cast<size_t>(fu)];
    const double fx = u - fu;
    const double fy = v - fv;
    const auto mix = [&](auto value) {
        const auto lerp = [](double a, double b, double f) { return a + (b - a) * f; };
        return lerp(lerp(value(p[0]), value(p[1]), fx), lerp(value(p[w]), value(p[w + 1]), fx), fy);
    };
    const double a = mix([](const Colour& c) { return double(c.alpha); });
    if (!(a > 0.5)) return {0, 0, 0, 0};
    const auto channel = [&](uint8_t Colour::*m) {
        const double c = mix([m](const Colour& q) { return double(int(q.*m) * q.alpha); }) / a;
        return static_cast<uint8_t>(c < 0.0 ? 0.0 : c > 255.0 ? 255.0 : c);
    };
    return {channel(&Colour::red), channel(&Colour::green), channel(&Colour::blue),
            static_cast<uint8_t>(std::min(a, 255.0))};
}

// Knob-like sources (an opaque disc of random colours, a ragged part-transparent
// rim, clear corners) at random sizes and turns: the frames skip what cannot be
// seen and take short cuts for clear and opaque areas, and must still hold exactly
// the pixels the formula gives.
TEST(RotationFrames, EveryPixelIsThePlainFormulas) {
    std::mt19937 random(12);
    const auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    for (int round = 0; round < 12; ++round) {
        const auto w = static_cast<uint32_t>(uniform(8, 60));
        const auto h = static_cast<uint32_t>(uniform(8, 60));
        auto source = Bitmap::blank(w, h, round % 2 == 0 ? 2.0 : 1.0);
        const double radius = std::min(w, h) * uniform(0.3, 0.6);
        {
            PixelAccess pixels(*source);
            for (uint32_t y = 0; y < h; ++y) {
                for (uint32_t x = 0; x < w; ++x) {
                    const double r = std::hypot(x - (w - 1) * 0.5, y - (h - 1) * 0.5) - radius;
                    const int alpha = r < -2.0 ? 255 : r > 2.0 ? 0 : static_cast<int>(uniform(0, 256));
                    pixels.set(x, y, {static_cast<uint8_t>(uniform(0, 256)), static_cast<uint8_t>(uniform(0, 256)),
                                      static_cast<uint8_t>(uniform(0, 256)), static_cast<uint8_t>(alpha)});
                }
            }
        }
        const std::vector<Colour> src = source->pixels();
        const int count = 3 + round % 4;
        const double offset = uniform(-200, 200);
        const double halfSweep = uniform(0, 400);
        const double target = round % 3 == 0 ? 0.0 : uniform(0.5, 1.5) * std::max(w, h) / source->scaleFactor();
        const FrameList frames = makeRotationFrames(source.get(), count, offset, halfSweep, target);
        ASSERT_EQ(frames.size(), static_cast<size_t>(count));
        for (int f = 0; f < count; ++f) {
            PixelAccess out(*frames[static_cast<size_t>(f)]);
            const double degrees = ((double(f) / (count - 1)) * 2.0 - 1.0) * halfSweep - offset;
            const double sn = std::sin(degrees * kPi / 180.0);
            const double cs = std::cos(degrees * kPi / 180.0);
            const double kx = double(w) / out.width();
            const double ky = double(h) / out.height();
            for (uint32_t y = 0; y < out.height(); ++y) {
                for (uint32_t x = 0; x < out.width(); ++x) {
                    const double dx = (x - (out.width() - 1.0) * 0.5) * kx;
                    const double dy = (y - (out.height() - 1.0) * 0.5) * ky;
                    const Colour expected = referencePixel(src, w, h, cs * dx + sn * dy + (w - 1.0) * 0.5,
                                                           -sn * dx + cs * dy + (h - 1.0) * 0.5);
                    // Compared as stored: premultiplied.
                    ASSERT_EQ(premultiply(out.get(x, y)), premultiply(expected))
                        << "round " << round << " frame " << f << " at " << x << "," << y;
                }
            }
        }
    }
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
