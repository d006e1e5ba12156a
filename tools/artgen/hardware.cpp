#include <algorithm>
#include <cmath>

#include "artwork.h"
#include "paint.h"

namespace artgen {

namespace {

// Footswitches and toggles never turn, so they are lit from the upper left.
cairo_pattern_t* chromeSweep(double cx, double cy, double r, Rgb light, Rgb dark) {
    cairo_pattern_t* p = cairo_pattern_create_linear(cx - r, cy - r, cx + r, cy + r);
    addStop(p, 0.0, light);
    addStop(p, 0.45, mix(light, dark, 0.45));
    addStop(p, 0.55, mix(light, dark, 0.7));
    addStop(p, 1.0, dark);
    return p;
}

// A polished dome: the highlight sits towards the light.
void chromeDome(cairo_t* cr, double cx, double cy, double r) {
    cairo_pattern_t* p = cairo_pattern_create_radial(cx - r * 0.35, cy - r * 0.4, r * 0.05, cx, cy, r);
    addStop(p, 0.0, hex(0xffffff));
    addStop(p, 0.25, hex(0xdfe3e7));
    addStop(p, 0.7, hex(0x8c9298));
    addStop(p, 0.9, hex(0x5c6166));
    addStop(p, 1.0, hex(0x9aa0a6));
    circle(cr, cx, cy, r);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    circle(cr, cx, cy, r);
    cairo_set_line_width(cr, std::max(0.5, r * 0.04));
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    cairo_stroke(cr);
}

// A hex nut lit from the upper left, with the chamfer ring on its top face.
void hexNut(cairo_t* cr, double cx, double cy, double r, double rotation) {
    regularPolygon(cr, cx, cy, r, 6, rotation);
    cairo_pattern_t* face = chromeSweep(cx, cy, r, hex(0xeef0f2), hex(0x6d7278));
    cairo_set_source(cr, face);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(face);
    cairo_set_line_width(cr, std::max(0.6, r * 0.03));
    cairo_set_source_rgba(cr, 0.1, 0.1, 0.12, 0.8);
    cairo_stroke(cr);

    // Each flat gets its own tone: the corners between them catch the light differently.
    for (int i = 0; i < 6; ++i) {
        const double a0 = rotation + 2 * kPi * i / 6;
        const double a1 = rotation + 2 * kPi * (i + 1) / 6;
        const double mid = (a0 + a1) * 0.5;
        // Facing the light (upper left, -135 degrees) brightens a flat.
        const double facing = std::cos(mid - (-3 * kPi / 4));
        cairo_new_path(cr);
        cairo_move_to(cr, cx + r * std::cos(a0), cy + r * std::sin(a0));
        cairo_line_to(cr, cx + r * std::cos(a1), cy + r * std::sin(a1));
        cairo_line_to(cr, cx + r * 0.86 * std::cos(a1), cy + r * 0.86 * std::sin(a1));
        cairo_line_to(cr, cx + r * 0.86 * std::cos(a0), cy + r * 0.86 * std::sin(a0));
        cairo_close_path(cr);
        if (facing > 0) {
            cairo_set_source_rgba(cr, 1, 1, 1, 0.35 * facing);
        } else {
            cairo_set_source_rgba(cr, 0, 0, 0, -0.35 * facing);
        }
        cairo_fill(cr);
    }
    const double inner = r * std::cos(kPi / 6);
    circle(cr, cx, cy, inner * 0.93);
    cairo_set_line_width(cr, std::max(0.5, r * 0.025));
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_stroke(cr);
    circle(cr, cx, cy, inner * 0.93 - r * 0.025);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
    cairo_stroke(cr);
}

// Threaded bushing: a dark steel collar with the thread showing as rings.
void threadedBushing(cairo_t* cr, double cx, double cy, double r, int threads) {
    cairo_pattern_t* p = chromeSweep(cx, cy, r, hex(0xb9bec3), hex(0x3d4145));
    circle(cr, cx, cy, r);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_set_line_width(cr, std::max(0.35, r * 0.035));
    for (int i = 0; i < threads; ++i) {
        const double rr = r * (0.98 - 0.3 * i / threads);
        circle(cr, cx, cy, rr);
        cairo_set_source_rgba(cr, 0, 0, 0, i % 2 == 0 ? 0.35 : 0.0);
        if (i % 2 == 1) cairo_set_source_rgba(cr, 1, 1, 1, 0.18);
        cairo_stroke(cr);
    }
}

}  // namespace

void drawFootswitch(cairo_t* cr, double w, double h, bool pointyLeftRight) {
    cairo_save(cr);
    const double cx = w * 0.5;
    const double cy = h * 0.5;
    // Largest nut that fits with a pixel to spare.
    const double across = std::sqrt(3.0);
    const double r = pointyLeftRight ? std::min((w - 3) * 0.5, (h - 3) / across)
                                     : std::min((h - 3) * 0.5, (w - 3) / across);
    const double rotation = pointyLeftRight ? 0.0 : kPi / 2;
    hexNut(cr, cx, cy, r, rotation);

    const double inner = r * std::cos(kPi / 6);
    threadedBushing(cr, cx, cy, inner * 0.72, 10);
    // The plunger's shadow on the thread, then the cap.
    softShadow(cr, cx + r * 0.04, cy + r * 0.06, inner * 0.6, inner * 0.16, 0.55);
    chromeDome(cr, cx, cy, inner * 0.5);
    cairo_restore(cr);
}

void drawToggle(cairo_t* cr, double w, double h, LeverPosition position) {
    cairo_save(cr);
    const double cx = w * 0.5;
    const double cy = h * 0.5;
    const double unit = std::min(w, h) / 50.0;

    // Washer, nut and bushing.
    circle(cr, cx, cy, 16.5 * unit);
    setColour(cr, hex(0x2b2d30));
    cairo_fill(cr);
    circle(cr, cx, cy, 16.5 * unit);
    cairo_set_line_width(cr, 0.8 * unit);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.25);
    cairo_stroke(cr);
    hexNut(cr, cx, cy, 13.5 * unit, kPi / 2);
    threadedBushing(cr, cx, cy, 8.0 * unit, 6);

    const double length = 21.5 * unit;
    if (position == LeverPosition::Middle) {
        // The bat points at the viewer: only its round end shows.
        softShadow(cr, cx + 1.6 * unit, cy + 2.2 * unit, 8.2 * unit, 3.5 * unit, 0.6);
        chromeDome(cr, cx, cy, 6.2 * unit);
    } else {
        const double dir = position == LeverPosition::Up ? -1.0 : 1.0;
        const double tipY = cy + dir * length;
        // The lever's shadow falls down and to the right.
        for (int pass = 0; pass < 2; ++pass) {
            const double ox = pass == 0 ? 2.2 * unit : 0.0;
            const double oy = pass == 0 ? 2.8 * unit : 0.0;
            cairo_new_path(cr);
            cairo_move_to(cr, cx - 2.6 * unit + ox, cy + oy);
            cairo_line_to(cr, cx - 3.6 * unit + ox, tipY + oy);
            cairo_line_to(cr, cx + 3.6 * unit + ox, tipY + oy);
            cairo_line_to(cr, cx + 2.6 * unit + ox, cy + oy);
            cairo_close_path(cr);
            if (pass == 0) {
                cairo_set_source_rgba(cr, 0, 0, 0, 0.4);
            } else {
                // Across the bat: bright on the lit side, dark on the other, like a rod.
                cairo_pattern_t* rod = cairo_pattern_create_linear(cx - 3.6 * unit, 0, cx + 3.6 * unit, 0);
                addStop(rod, 0.0, hex(0x7d8389));
                addStop(rod, 0.3, hex(0xf4f6f8));
                addStop(rod, 0.55, hex(0xb4babf));
                addStop(rod, 1.0, hex(0x4a4e53));
                cairo_set_source(cr, rod);
                cairo_fill_preserve(cr);
                cairo_pattern_destroy(rod);
                cairo_set_line_width(cr, 0.5 * unit);
                cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
            }
            if (pass == 0) {
                cairo_fill(cr);
            } else {
                cairo_stroke(cr);
            }
        }
        // The pivot where the bat leaves the bushing, and the bat's rounded end.
        chromeDome(cr, cx, cy, 3.6 * unit);
        softShadow(cr, cx + 1.5 * unit, tipY + 2.0 * unit, 5.6 * unit, 2.0 * unit, 0.4);
        chromeDome(cr, cx, tipY, 4.4 * unit);
    }
    cairo_restore(cr);
}

}  // namespace artgen
