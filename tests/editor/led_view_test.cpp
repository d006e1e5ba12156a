// LedView: the brightness thresholds, the two-output colours, and the drawn lamp:
// body, glow rings and core, read back pixel by pixel.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "fxcoreedit/led_view.h"
#include "ui_test_support.h"

namespace fxcoreplug {
namespace {

using lumivex::ui::Bitmap;
using lumivex::ui::Colour;
using lumivex::ui::Rect;
using lumivex::ui::testing::drawView;
using lumivex::ui::testing::near;
using lumivex::ui::testing::pixelOf;

constexpr Colour kOwn{90, 255, 90, 255};
constexpr Colour kFirst{90, 255, 90, 255};
constexpr Colour kSecond{255, 190, 60, 255};
constexpr Colour kRed{255, 0, 0, 255};
constexpr Colour kBody{30, 30, 34, 200};

LedView biColourLed() {
    LedView led(Rect::fromSize(0, 0, 40, 40), kRed, 21);
    led.setBiColour(kFirst, kSecond);
    return led;
}

TEST(LedView, SmallMovesOfTheLevelAreIgnored) {
    LedView led(Rect::fromSize(0, 0, 40, 40), kOwn, 21);
    led.setBrightness(0.497f);
    EXPECT_TRUE(led.dirty());
    led.setDirty(false);
    led.setBrightness(0.5f);  // 0.003 away
    EXPECT_FLOAT_EQ(led.brightness(), 0.497f);
    EXPECT_FALSE(led.dirty());
    led.setBrightness(0.49f);
    led.setBrightness(0.5f);  // 0.01 away
    EXPECT_FLOAT_EQ(led.brightness(), 0.5f);
    EXPECT_TRUE(led.dirty());
    led.setBrightness(0.003f, 0.9f);  // not bi-colour: the first output only
    EXPECT_FLOAT_EQ(led.brightness(), 0.003f);
}

TEST(LedView, TwoOutputsPickLevelAndColour) {
    struct Case {
        float a, b, level;
        Colour colour;
    };
    for (const Case c : {Case{0.01f, 0.5f, 0.5f, kFirst}, Case{0.5f, 0.5f, 0.5f, kSecond},
                         Case{0.5f, 0.01f, 0.5f, kRed}, Case{0.02f, 0.01f, 0.02f, kRed},
                         Case{0.03f, 0.021f, 0.03f, kSecond}}) {
        LedView led = biColourLed();
        led.setBrightness(c.a, c.b);
        EXPECT_FLOAT_EQ(led.brightness(), c.level) << c.a << ", " << c.b;
        EXPECT_EQ(led.currentColour(), c.colour) << c.a << ", " << c.b;
    }
}

TEST(LedView, AColourChangeAloneRedraws) {
    LedView led = biColourLed();
    led.setBrightness(0.5f, 0.01f);
    led.setDirty(false);
    led.setBrightness(0.01f, 0.5f);  // same level, the other output
    EXPECT_TRUE(led.dirty());
    EXPECT_EQ(led.currentColour(), kFirst);
    led.setDirty(false);
    led.setBrightness(0.012f, 0.502f);
    EXPECT_FALSE(led.dirty());
}

// A lamp of diameter 60 in a 114-point square: body centred on (57, 57), radius 30.
class LedDrawing : public ::testing::Test {
protected:
    std::shared_ptr<Bitmap> drawAt(float brightness) {
        LedView led(Rect::fromSize(0, 0, 114, 114), kOwn, 60);
        led.setBrightness(brightness);
        auto image = drawView(led, 114, 114);
        EXPECT_FALSE(led.dirty());
        return image;
    }

    // Straight colours laid over each other in order, as cairo's OVER does.
    static Colour over(Colour below, std::initializer_list<Colour> layers) {
        double a = below.alpha / 255.0;
        double r = below.red * a, g = below.green * a, b = below.blue * a;
        for (const Colour& l : layers) {
            const double la = l.alpha / 255.0;
            r = l.red * la + r * (1 - la);
            g = l.green * la + g * (1 - la);
            b = l.blue * la + b * (1 - la);
            a = la + a * (1 - la);
        }
        if (a == 0) return {0, 0, 0, 0};
        return {uint8_t(std::lround(r / a)), uint8_t(std::lround(g / a)), uint8_t(std::lround(b / a)),
                uint8_t(std::lround(a * 255))};
    }
    static Colour ring(uint8_t alpha) { return {kOwn.red, kOwn.green, kOwn.blue, alpha}; }
};

TEST_F(LedDrawing, FullBrightnessRingsFadeOutwardsOverTheBody) {
    auto image = drawAt(1.0f);
    const Colour clear{0, 0, 0, 0};
    // Ring alphas at brightness 1, outermost first: 6, 7, 13, 23, 37, 54. Each sample
    // lies between two ring edges, so it sees the rings from the outermost one in.
    const Colour r6 = ring(6), r5 = ring(7), r4 = ring(13), r3 = ring(23), r2 = ring(37), r1 = ring(54);
    EXPECT_EQ(pixelOf(*image, 113, 57), clear);
    EXPECT_EQ(pixelOf(*image, 109, 57).alpha, 6);
    EXPECT_NEAR(pixelOf(*image, 105, 57).alpha, over(clear, {r6, r5}).alpha, 1);
    EXPECT_NEAR(pixelOf(*image, 101, 57).alpha, over(clear, {r6, r5, r4}).alpha, 1);
    EXPECT_NEAR(pixelOf(*image, 97, 57).alpha, over(clear, {r6, r5, r4, r3}).alpha, 1);
    EXPECT_NEAR(pixelOf(*image, 93, 57).alpha, over(clear, {r6, r5, r4, r3, r2}).alpha, 1);
    // cairo truncates when it premultiplies a translucent colour: allow for it.
    EXPECT_TRUE(near(pixelOf(*image, 89, 57), over(clear, {r6, r5, r4, r3, r2, r1}), 4));
    // Inside the body the rings lie over the dark translucent body colour.
    EXPECT_TRUE(near(pixelOf(*image, 83, 57), over(kBody, {r6, r5, r4, r3, r2, r1}), 4));
    // The core: the full colour at brightness 1, opaque.
    EXPECT_EQ(pixelOf(*image, 57, 57), kOwn);
    EXPECT_EQ(pixelOf(*image, 57, 40), kOwn);
}

TEST_F(LedDrawing, CoreDimsWithBrightness) {
    auto image = drawAt(0.5f);  // K = 0.675
    EXPECT_EQ(pixelOf(*image, 57, 57), (Colour{60, 172, 60, 255}));
}

TEST_F(LedDrawing, DarkLampShowsOnlyTheBodyAndItsOutline) {
    auto image = drawAt(0.0f);
    EXPECT_TRUE(near(pixelOf(*image, 57, 57), kBody, 1));
    EXPECT_EQ(pixelOf(*image, 92, 57), (Colour{0, 0, 0, 0}));  // where a ring would be
    // The outline: white at alpha 60 over the body's edge.
    const Colour edge = pixelOf(*image, 57, 27);
    EXPECT_GT(edge.red, 30);
    EXPECT_EQ(edge.red, edge.green);
}

TEST_F(LedDrawing, BrightnessOutsideZeroToOneDrawsAsTheNearestEnd) {
    EXPECT_EQ(drawAt(3.0f)->pixels(), drawAt(1.0f)->pixels());
    EXPECT_EQ(drawAt(-2.0f)->pixels(), drawAt(0.0f)->pixels());
}

TEST_F(LedDrawing, BiColourLampShowsTheCurrentColour) {
    LedView led(Rect::fromSize(0, 0, 114, 114), kRed, 60);
    led.setBiColour(kFirst, kSecond);
    led.setBrightness(0.9f, 0.9f);
    led.setBrightness(0.9f, 1.0f);
    EXPECT_EQ(pixelOf(*drawView(led, 114, 114), 57, 57), kSecond);
}

TEST_F(LedDrawing, ADiameterOfZeroFitsTheLampToTheView) {
    LedView led(Rect::fromSize(0, 0, 20, 10), kOwn, 0);
    auto image = drawView(led, 20, 10);
    EXPECT_TRUE(near(pixelOf(*image, 10, 5), kBody, 1));
    EXPECT_EQ(pixelOf(*image, 3, 5), (Colour{0, 0, 0, 0}));  // body spans x 5 .. 15
}

}  // namespace
}  // namespace fxcoreplug
