// Test helpers for views drawn with the toolkit: PNG bytes painted with cairo, a view
// drawn onto a bitmap, pixel comparison, and a listener that records control edits.
#pragma once

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lumivex_ui/bitmap.h"
#include "lumivex_ui/canvas.h"
#include "lumivex_ui/control.h"
#include "lumivex_ui/view.h"

namespace lumivex::ui::testing {

// A PNG (RGBA) of w x h pixels whose straight-alpha pixels come from `pixel`, painted
// one by one with cairo itself.
inline std::vector<uint8_t> makePng(int w, int h, const std::function<Colour(int x, int y)>& pixel) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Colour c = pixel(x, y);
            cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
            cairo_rectangle(cr, x, y, 1, 1);
            cairo_fill(cr);
        }
    }
    cairo_destroy(cr);
    std::vector<uint8_t> png;
    cairo_surface_write_to_png_stream(
        s,
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* out = static_cast<std::vector<uint8_t>*>(closure);
            out->insert(out->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &png);
    cairo_surface_destroy(s);
    return png;
}

// A bitmap of the given pixels, made through a PNG.
inline std::shared_ptr<Bitmap> makeBitmap(int w, int h, const std::function<Colour(int x, int y)>& pixel,
                                          double scale = 1.0) {
    const std::vector<uint8_t> png = makePng(w, h, pixel);
    return Bitmap::fromPng(png.data(), png.size(), scale);
}

// The view drawn alone onto a transparent bitmap of w x h points at the zoom.
inline std::shared_ptr<Bitmap> drawView(View& view, uint32_t w, uint32_t h, double zoom = 1.0) {
    auto target = Bitmap::blank(static_cast<uint32_t>(w * zoom), static_cast<uint32_t>(h * zoom), zoom);
    Canvas canvas(target->surface(), zoom);
    view.draw(canvas);
    return target;
}

inline Colour pixelOf(Bitmap& bitmap, uint32_t x, uint32_t y) { return PixelAccess(bitmap).get(x, y); }

inline ::testing::AssertionResult near(Colour actual, Colour expected, int tolerance = 0) {
    const auto off = [tolerance](int a, int b) { return std::abs(a - b) > tolerance; };
    if (off(actual.red, expected.red) || off(actual.green, expected.green) || off(actual.blue, expected.blue) ||
        off(actual.alpha, expected.alpha)) {
        return ::testing::AssertionFailure()
               << "(" << int(actual.red) << ", " << int(actual.green) << ", " << int(actual.blue) << ", "
               << int(actual.alpha) << ") is not within " << tolerance << " of (" << int(expected.red) << ", "
               << int(expected.green) << ", " << int(expected.blue) << ", " << int(expected.alpha) << ")";
    }
    return ::testing::AssertionSuccess();
}

// Records "begin <tag>", "value <tag> <value>" and "end <tag>" in order.
class RecordingListener : public ControlListener {
public:
    void valueChanged(Control& c) override { log.push_back("value " + std::to_string(c.tag()) + " " + fmt(c.value())); }
    void editBegan(Control& c) override { log.push_back("begin " + std::to_string(c.tag())); }
    void editEnded(Control& c) override { log.push_back("end " + std::to_string(c.tag())); }

    std::vector<std::string> log;

private:
    static std::string fmt(float v) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
        return text;
    }
};

}  // namespace lumivex::ui::testing
