// The lamp's brightness thresholds and its drawing.
#include "fxcoreedit/led_view.h"

#include <algorithm>
#include <cmath>

namespace fxcoreplug {

using lumivex::ui::Colour;
using lumivex::ui::PaintStyle;
using lumivex::ui::Rect;

namespace {

constexpr float kLevelStep = 0.004f;  // smaller moves are not worth a redraw
constexpr float kLitDuty = 0.02f;     // an output above this counts as lit
constexpr Colour kBody{30, 30, 34, 200};
constexpr Colour kOutline{255, 255, 255, 60};

uint8_t scaled(uint8_t channel, double k) { return static_cast<uint8_t>(channel * k); }

}  // namespace

LedView::LedView(const Rect& rect, Colour colour, double diameter)
    : View(rect), colour_(colour), diameter_(diameter) {
    setMouseEnabled(false);
    setTransparent(true);
}

std::unique_ptr<lumivex::ui::View> LedView::clone() const { return std::make_unique<LedView>(*this); }

void LedView::setBiColour(Colour a, Colour b) {
    biColourA_ = a;
    biColourB_ = b;
    biColour_ = true;
}

void LedView::setBrightness(float level) {
    if (std::fabs(level - brightness_) > kLevelStep) {
        brightness_ = level;
        invalidate();
    }
}

void LedView::setBrightness(float first, float second) {
    if (!biColour_) {
        setBrightness(first);
        return;
    }
    const float level = second > first ? second : first;
    const Colour chosen = (first > kLitDuty && second > kLitDuty) ? biColourB_
                          : second > first                        ? biColourA_
                                                                  : colour_;
    if (std::fabs(level - brightness_) > kLevelStep || chosen != currentColour_) {
        brightness_ = level;
        currentColour_ = chosen;
        invalidate();
    }
}

void LedView::draw(lumivex::ui::Canvas& canvas) {
    const Rect& r = rect();
    const double d = diameter_ > 0.0 ? diameter_ : std::min(r.width(), r.height());
    const Rect body = Rect::fromSize(r.left + (r.width() - d) * 0.5, r.top + (r.height() - d) * 0.5, d, d);
    // Not a number stays so and draws no glow.
    const float t = brightness_ < 0.0f ? 0.0f : (brightness_ > 1.0f ? 1.0f : brightness_);
    const Colour c = biColour_ ? currentColour_ : colour_;

    canvas.setDrawMode({.antialias = true, .fractional = false});
    canvas.setFillColour(kBody);
    canvas.drawEllipse(body, PaintStyle::Fill);
    if (t > 0.0f) {
        const double td = t;
        const double reach = 0.42 * d;
        for (int k = 6; k >= 1; --k) {  // largest ring first
            const double s = k / 6.0;
            const auto alpha = static_cast<uint8_t>((1.0 - s) * (1.0 - s) * (70.0 * td) + 6.0 * td);
            canvas.setFillColour({c.red, c.green, c.blue, alpha});
            canvas.drawEllipse(body.grown(reach * s), PaintStyle::Fill);
        }
        const double k = 0.65 * td + 0.35;
        canvas.setFillColour({scaled(c.red, k), scaled(c.green, k), scaled(c.blue, k), 255});
        canvas.drawEllipse(body.grown(-0.14 * d), PaintStyle::Fill);
    }
    canvas.setStrokeColour(kOutline);
    canvas.setLineWidth(1.0);
    canvas.drawEllipse(body, PaintStyle::Stroke);
    setDirty(false);
}

}  // namespace fxcoreplug
