#include <algorithm>
#include <cmath>

#include "artwork.h"
#include "paint.h"

namespace artgen {

namespace {

// Where a knob sits in its canvas. The margin keeps a transparent border of at least
// one pixel: the turned frames drop the source's last row and column.
struct Axis {
    double cx;
    double cy;
    double r;
};

Axis axisOf(double w, double h) { return {w * 0.5, h * 0.5, std::min(w, h) * 0.5 - 1.5}; }

// A line along the 12 o'clock radius from `from` to `to` (fractions of r).
void pointerLine(cairo_t* cr, const Axis& a, double from, double to, double width, Rgb colour, double alpha = 1.0) {
    cairo_new_path(cr);
    cairo_move_to(cr, a.cx, a.cy - a.r * from);
    cairo_line_to(cr, a.cx, a.cy - a.r * to);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, a.r * width);
    setColour(cr, colour, alpha);
    cairo_stroke(cr);
}

// Light and dark hairlines on the crests and grooves of a fluted rim.
void fluteLines(cairo_t* cr, const Axis& a, int bumps, double from, double to, double alpha) {
    cairo_set_line_width(cr, a.r * 0.018);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    for (int i = 0; i < bumps; ++i) {
        for (int groove = 0; groove < 2; ++groove) {
            const double angle = 2 * kPi * (i + 0.5 * groove) / bumps + kPi / bumps;
            const double s = std::sin(angle);
            const double c = std::cos(angle);
            cairo_new_path(cr);
            cairo_move_to(cr, a.cx + a.r * from * s, a.cy - a.r * from * c);
            cairo_line_to(cr, a.cx + a.r * to * s, a.cy - a.r * to * c);
            if (groove == 0) {
                cairo_set_source_rgba(cr, 1, 1, 1, alpha);
            } else {
                cairo_set_source_rgba(cr, 0, 0, 0, alpha * 1.6);
            }
            cairo_stroke(cr);
        }
    }
}

// A spun aluminium disc: a soft radial sheen crossed by fine machining rings.
void spunMetal(cairo_t* cr, const Axis& a, double radius, Rgb centre, Rgb rim, int rings) {
    shadeDisc(cr, a.cx, a.cy, a.r * radius, centre, rim);
    cairo_set_line_width(cr, a.r * 0.012);
    for (int i = 1; i <= rings; ++i) {
        const double rr = a.r * radius * i / (rings + 1.0);
        circle(cr, a.cx, a.cy, rr);
        if (i % 2 == 0) {
            cairo_set_source_rgba(cr, 1, 1, 1, 0.16);
        } else {
            cairo_set_source_rgba(cr, 0, 0, 0, 0.10);
        }
        cairo_stroke(cr);
    }
}

// A thin ring: a light inner edge and a dark outer one read as a bevel.
void bevelRing(cairo_t* cr, const Axis& a, double radius, double width, double lightAlpha, double darkAlpha) {
    cairo_set_line_width(cr, a.r * width);
    circle(cr, a.cx, a.cy, a.r * radius);
    cairo_set_source_rgba(cr, 0, 0, 0, darkAlpha);
    cairo_stroke(cr);
    circle(cr, a.cx, a.cy, a.r * (radius - width));
    cairo_set_source_rgba(cr, 1, 1, 1, lightAlpha);
    cairo_stroke(cr);
}

void flutedSilver(cairo_t* cr, const Axis& a) {
    const int flutes = 24;
    scallopedCircle(cr, a.cx, a.cy, a.r, a.r * 0.07, flutes);
    cairo_pattern_t* body = cairo_pattern_create_radial(a.cx, a.cy, a.r * 0.6, a.cx, a.cy, a.r);
    addStop(body, 0.0, hex(0x3a3b3e));
    addStop(body, 0.7, hex(0x1c1d1f));
    addStop(body, 1.0, hex(0x0b0b0c));
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    fluteLines(cr, a, flutes, 0.76, 0.95, 0.10);

    // The shoulder between skirt and cap.
    shadeDisc(cr, a.cx, a.cy, a.r * 0.74, hex(0x2c2d30), hex(0x18191b));
    bevelRing(cr, a, 0.74, 0.03, 0.10, 0.55);

    spunMetal(cr, a, 0.6, hex(0xe4e7ea), hex(0x9ba1a7), 11);
    bevelRing(cr, a, 0.6, 0.035, 0.45, 0.6);

    pointerLine(cr, a, 0.66, 0.93, 0.075, hex(0xf4f4f0));
    pointerLine(cr, a, 0.12, 0.55, 0.055, hex(0x1a1b1d));
}

void knurledBlack(cairo_t* cr, const Axis& a) {
    const int teeth = 48;
    scallopedCircle(cr, a.cx, a.cy, a.r, a.r * 0.035, teeth);
    cairo_pattern_t* body = cairo_pattern_create_radial(a.cx, a.cy, a.r * 0.5, a.cx, a.cy, a.r);
    addStop(body, 0.0, hex(0x2a2a2c));
    addStop(body, 1.0, hex(0x080808));
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    fluteLines(cr, a, teeth, 0.88, 0.97, 0.08);

    cairo_pattern_t* top = cairo_pattern_create_radial(a.cx, a.cy, 0, a.cx, a.cy, a.r * 0.86);
    addStop(top, 0.0, hex(0x303033));
    addStop(top, 0.55, hex(0x242426));
    addStop(top, 0.8, hex(0x2e2e31));
    addStop(top, 1.0, hex(0x141415));
    circle(cr, a.cx, a.cy, a.r * 0.86);
    cairo_set_source(cr, top);
    cairo_fill(cr);
    cairo_pattern_destroy(top);
    bevelRing(cr, a, 0.86, 0.025, 0.12, 0.6);

    pointerLine(cr, a, 0.22, 0.95, 0.085, hex(0xf2f2ee));
}

void flutedCream(cairo_t* cr, const Axis& a) {
    const int flutes = 26;
    scallopedCircle(cr, a.cx, a.cy, a.r, a.r * 0.05, flutes);
    cairo_pattern_t* body = cairo_pattern_create_radial(a.cx, a.cy, a.r * 0.55, a.cx, a.cy, a.r);
    addStop(body, 0.0, hex(0xf1ead8));
    addStop(body, 0.75, hex(0xd9cfb6));
    addStop(body, 1.0, hex(0xa99d80));
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    fluteLines(cr, a, flutes, 0.74, 0.93, 0.22);

    cairo_pattern_t* top = cairo_pattern_create_radial(a.cx, a.cy, 0, a.cx, a.cy, a.r * 0.7);
    addStop(top, 0.0, hex(0xfbf7ec));
    addStop(top, 0.8, hex(0xf0e8d4));
    addStop(top, 1.0, hex(0xd8ceb4));
    circle(cr, a.cx, a.cy, a.r * 0.7);
    cairo_set_source(cr, top);
    cairo_fill(cr);
    cairo_pattern_destroy(top);
    bevelRing(cr, a, 0.7, 0.025, 0.5, 0.25);

    pointerLine(cr, a, 0.18, 0.95, 0.075, hex(0x1d1b18));
}

void skirted(cairo_t* cr, const Axis& a, Rgb colour, Rgb pointer) {
    // Skirt: the wide, low ring at the foot of the knob.
    cairo_pattern_t* skirt = cairo_pattern_create_radial(a.cx, a.cy, a.r * 0.7, a.cx, a.cy, a.r);
    // Black plastic with a hint of the cap's colour.
    const Rgb base = mix(colour, hex(0x18181a), 0.9);
    addStop(skirt, 0.0, lighter(base, 0.08));
    addStop(skirt, 0.85, base);
    addStop(skirt, 1.0, darker(base, 0.5));
    circle(cr, a.cx, a.cy, a.r);
    cairo_set_source(cr, skirt);
    cairo_fill(cr);
    cairo_pattern_destroy(skirt);
    bevelRing(cr, a, 1.0, 0.02, 0.18, 0.4);
    pointerLine(cr, a, 0.84, 0.96, 0.06, hex(0xf4f4f0));

    // Grip with a fine knurl, then the glossy crown.
    const int teeth = 36;
    scallopedCircle(cr, a.cx, a.cy, a.r * 0.8, a.r * 0.03, teeth);
    cairo_pattern_t* grip = cairo_pattern_create_radial(a.cx, a.cy, a.r * 0.4, a.cx, a.cy, a.r * 0.8);
    addStop(grip, 0.0, colour);
    addStop(grip, 0.8, darker(colour, 0.12));
    addStop(grip, 1.0, darker(colour, 0.45));
    cairo_set_source(cr, grip);
    cairo_fill(cr);
    cairo_pattern_destroy(grip);
    fluteLines(cr, a, teeth, 0.7, 0.78, 0.12);

    cairo_pattern_t* crown = cairo_pattern_create_radial(a.cx, a.cy, 0, a.cx, a.cy, a.r * 0.66);
    addStop(crown, 0.0, lighter(colour, 0.12));
    addStop(crown, 0.55, colour);
    addStop(crown, 0.82, lighter(colour, 0.22));
    addStop(crown, 1.0, darker(colour, 0.2));
    circle(cr, a.cx, a.cy, a.r * 0.66);
    cairo_set_source(cr, crown);
    cairo_fill(cr);
    cairo_pattern_destroy(crown);
    bevelRing(cr, a, 0.66, 0.02, 0.35, 0.35);

    pointerLine(cr, a, 0.14, 0.62, 0.06, pointer);
}

void brutal(cairo_t* cr, const Axis& a) {
    const int teeth = 60;
    scallopedCircle(cr, a.cx, a.cy, a.r, a.r * 0.03, teeth);
    cairo_pattern_t* rim = cairo_pattern_create_radial(a.cx, a.cy, a.r * 0.8, a.cx, a.cy, a.r);
    addStop(rim, 0.0, hex(0xb7bcc1));
    addStop(rim, 0.7, hex(0x8e9399));
    addStop(rim, 1.0, hex(0x4f5358));
    cairo_set_source(cr, rim);
    cairo_fill(cr);
    cairo_pattern_destroy(rim);
    fluteLines(cr, a, teeth, 0.9, 0.98, 0.25);

    // A dark groove round a dished, machined face.
    circle(cr, a.cx, a.cy, a.r * 0.89);
    setColour(cr, hex(0x26282b));
    cairo_fill(cr);
    spunMetal(cr, a, 0.85, hex(0xd3d7db), hex(0xa3a9af), 17);
    bevelRing(cr, a, 0.85, 0.02, 0.5, 0.5);
    // The centre boss.
    spunMetal(cr, a, 0.2, hex(0xeef0f2), hex(0xb2b7bc), 3);
    bevelRing(cr, a, 0.2, 0.02, 0.5, 0.45);

    // A milled slot with a red fill.
    pointerLine(cr, a, 0.3, 0.94, 0.085, hex(0x141516));
    pointerLine(cr, a, 0.32, 0.92, 0.045, hex(0xd3312a));
}

void smallBlack(cairo_t* cr, const Axis& a) {
    const int teeth = 28;
    scallopedCircle(cr, a.cx, a.cy, a.r, a.r * 0.05, teeth);
    cairo_pattern_t* body = cairo_pattern_create_radial(a.cx, a.cy, a.r * 0.4, a.cx, a.cy, a.r);
    addStop(body, 0.0, hex(0x2c2c2e));
    addStop(body, 1.0, hex(0x080808));
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    fluteLines(cr, a, teeth, 0.84, 0.96, 0.08);

    cairo_pattern_t* top = cairo_pattern_create_radial(a.cx, a.cy, 0, a.cx, a.cy, a.r * 0.8);
    addStop(top, 0.0, hex(0x323235));
    addStop(top, 0.75, hex(0x29292b));
    addStop(top, 1.0, hex(0x121213));
    circle(cr, a.cx, a.cy, a.r * 0.8);
    cairo_set_source(cr, top);
    cairo_fill(cr);
    cairo_pattern_destroy(top);
    bevelRing(cr, a, 0.8, 0.04, 0.12, 0.55);

    pointerLine(cr, a, 0.2, 0.94, 0.13, hex(0xf2f2ee));
}

}  // namespace

void drawKnob(cairo_t* cr, double w, double h, KnobKind kind) {
    const Axis a = axisOf(w, h);
    cairo_save(cr);
    switch (kind) {
        case KnobKind::FlutedSilver: flutedSilver(cr, a); break;
        case KnobKind::KnurledBlack: knurledBlack(cr, a); break;
        case KnobKind::FlutedCream: flutedCream(cr, a); break;
        case KnobKind::SkirtedBlue: skirted(cr, a, hex(0x1f5fbf), hex(0xf4f4f0)); break;
        case KnobKind::SkirtedOrange: skirted(cr, a, hex(0xe2661c), hex(0xf4f4f0)); break;
        case KnobKind::SkirtedYellow: skirted(cr, a, hex(0xf0c419), hex(0x1d1b18)); break;
        case KnobKind::SkirtedWhite: skirted(cr, a, hex(0xe9e7e0), hex(0x1d1b18)); break;
        case KnobKind::Brutal: brutal(cr, a); break;
        case KnobKind::SmallBlack: smallBlack(cr, a); break;
    }
    cairo_restore(cr);
}

}  // namespace artgen
