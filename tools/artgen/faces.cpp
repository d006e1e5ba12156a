#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "artwork.h"
#include "catalogue.h"
#include "paint.h"

namespace artgen {

namespace {

enum class Motif { Echoes, Horizon, Stripes, Canopy, Pinstripe };

struct FaceDesign {
    const char* layoutKey;
    Rgb paint;   // the enclosure's powder coat
    Rgb ink;     // main printing
    Rgb accent;  // second printing colour
    const char* title;
    const char* subtitle;
    Font titleFont;
    double titleY;  // baseline
    double makerY;  // centre line of the maker's mark
    Motif motif;
    std::array<const char*, 6> knobLabels;  // null: none
    std::array<const char*, 2> footswitchLabels;
    std::array<const char*, 2> ledLabels;
};

const Font kSansBold{"DejaVu Sans", true, false, 10.0, 0.0};
const Font kSerifBoldItalic{"DejaVu Serif", true, true, 10.0, 0.0};

Font sized(Font f, double size, double tracking) {
    f.size = size;
    f.tracking = tracking;
    return f;
}

const FaceDesign kDesigns[] = {
    {"lumivex", hex(0x252a5c), hex(0xeef1fa), hex(0x66d8ff), "LUMIVEX", "TAP ECHO", sized(kSansBold, 40, 5), 446,
     626, Motif::Echoes, {"TIME", "REPEATS", "MIX", "MOD", "TONE", "SPACE"}, {"TAP", "BYPASS"}, {"TEMPO", "ON"}},
    {"tressik-jr", hex(0xe9e0c9), hex(0x2a2520), hex(0x1d7c79), "TRESSIK JR.", "KV SERIES", sized(kSansBold, 32, 2),
     418, 700, Motif::Stripes, {}, {}, {}},
    {"ombrel-2", hex(0x27272b), hex(0xd8b662), hex(0x8f7236), "OMBREL", "II", sized(kSerifBoldItalic, 44, 4), 396, 700,
     Motif::Canopy, {}, {}, {}},
    {"farwhen", hex(0xc65b1f), hex(0x1b1714), hex(0xf4e7c9), "FARWHEN", "KV SERIES", sized(kSerifBoldItalic, 40, 3),
     470, 626, Motif::Horizon, {}, {}, {}},
    {"vestrand-classic", hex(0x2d5a3e), hex(0xf2ebd7), hex(0xcaa55b), "Vestrand", "CLASSIC",
     sized(kSerifBoldItalic, 44, 1), 420, 670, Motif::Pinstripe, {}, {}, {}},
    {"pellory-classic", hex(0x6c1e2b), hex(0xf2ebd7), hex(0xc9ccd2), "Pellory", "CLASSIC",
     sized(kSerifBoldItalic, 44, 1), 420, 670, Motif::Pinstripe, {}, {}, {}},
};

const FaceDesign& designFor(const fxcoreplug::PanelLayout& layout) {
    for (const FaceDesign& d : kDesigns) {
        if (std::strcmp(d.layoutKey, layout.key) == 0) return d;
    }
    return kDesigns[0];
}

constexpr double kCorner = 22.0;  // enclosure corner radius
constexpr double kRim = 6.0;      // width of the rounded edge seen round the top

// A die-cast box from above: the rounded edge catches the light on the upper left.
void enclosure(cairo_t* cr, double w, double h, Rgb paint) {
    roundedRect(cr, 0.5, 0.5, w - 1, h - 1, kCorner);
    setColour(cr, darker(paint, 0.55));
    cairo_fill(cr);

    cairo_pattern_t* rim = cairo_pattern_create_linear(0, 0, w, h);
    addStop(rim, 0.0, lighter(paint, 0.35));
    addStop(rim, 0.5, paint);
    addStop(rim, 1.0, darker(paint, 0.45));
    roundedRect(cr, 1.5, 1.5, w - 3, h - 3, kCorner - 1);
    cairo_set_source(cr, rim);
    cairo_fill(cr);
    cairo_pattern_destroy(rim);

    cairo_pattern_t* top = cairo_pattern_create_linear(0, 0, 0, h);
    addStop(top, 0.0, lighter(paint, 0.06));
    addStop(top, 1.0, darker(paint, 0.08));
    roundedRect(cr, kRim, kRim, w - 2 * kRim, h - 2 * kRim, kCorner - kRim + 1);
    cairo_set_source(cr, top);
    cairo_fill(cr);
    cairo_pattern_destroy(top);

    // Light falling across the top from the upper left.
    cairo_pattern_t* sheen = cairo_pattern_create_radial(w * 0.3, h * 0.22, 0, w * 0.3, h * 0.22, h * 0.75);
    cairo_pattern_add_color_stop_rgba(sheen, 0.0, 1, 1, 1, 0.07);
    cairo_pattern_add_color_stop_rgba(sheen, 1.0, 1, 1, 1, 0.0);
    roundedRect(cr, kRim, kRim, w - 2 * kRim, h - 2 * kRim, kCorner - kRim + 1);
    cairo_set_source(cr, sheen);
    cairo_fill(cr);
    cairo_pattern_destroy(sheen);

    // The crease where the flat top meets the edge.
    cairo_set_line_width(cr, 1.0);
    roundedRect(cr, kRim, kRim, w - 2 * kRim, h - 2 * kRim, kCorner - kRim + 1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.22);
    cairo_stroke(cr);
    roundedRect(cr, kRim + 1, kRim + 1, w - 2 * kRim - 2, h - 2 * kRim - 2, kCorner - kRim);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.07);
    cairo_stroke(cr);
}

void screw(cairo_t* cr, double cx, double cy, double slotAngle) {
    softShadow(cr, cx + 0.8, cy + 1.2, 7.2, 2.5, 0.5);
    cairo_pattern_t* head = cairo_pattern_create_radial(cx - 2, cy - 2.4, 0.5, cx, cy, 6);
    addStop(head, 0.0, hex(0xf4f5f6));
    addStop(head, 0.5, hex(0xaeb3b8));
    addStop(head, 1.0, hex(0x5d6267));
    circle(cr, cx, cy, 6);
    cairo_set_source(cr, head);
    cairo_fill(cr);
    cairo_pattern_destroy(head);
    circle(cr, cx, cy, 6);
    cairo_set_line_width(cr, 0.6);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_stroke(cr);
    // Phillips cross: a dark slot with a lit lower edge.
    for (int i = 0; i < 2; ++i) {
        const double a = slotAngle + i * kPi / 2;
        const double dx = std::cos(a) * 3.6;
        const double dy = std::sin(a) * 3.6;
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_new_path(cr);
        cairo_move_to(cr, cx - dx + 0.35, cy - dy + 0.45);
        cairo_line_to(cr, cx + dx + 0.35, cy + dy + 0.45);
        cairo_set_line_width(cr, 1.5);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.45);
        cairo_stroke(cr);
        cairo_new_path(cr);
        cairo_move_to(cr, cx - dx, cy - dy);
        cairo_line_to(cr, cx + dx, cy + dy);
        cairo_set_line_width(cr, 1.4);
        setColour(cr, hex(0x25272a));
        cairo_stroke(cr);
    }
}

// Ticks round a knob over its travel, 135 degrees either side of 12 o'clock.
void knobScale(cairo_t* cr, double cx, double cy, double radius, bool large, Rgb ink) {
    const int ticks = 11;
    const double gap = large ? 4.0 : 3.0;
    for (int i = 0; i < ticks; ++i) {
        const double deg = -135.0 + 270.0 * i / (ticks - 1);
        const double a = deg * kPi / 180.0;
        const bool major = i == 0 || i == ticks - 1 || i == ticks / 2;
        const double r0 = radius + gap;
        const double r1 = r0 + (major ? (large ? 6.0 : 4.5) : (large ? 3.5 : 2.8));
        cairo_new_path(cr);
        cairo_move_to(cr, cx + r0 * std::sin(a), cy - r0 * std::cos(a));
        cairo_line_to(cr, cx + r1 * std::sin(a), cy - r1 * std::cos(a));
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_width(cr, major ? 1.6 : 1.1);
        setColour(cr, ink, 0.9);
        cairo_stroke(cr);
    }
}

// The knob's footprint: the shadow it throws on the paint.
void knobSeat(cairo_t* cr, double cx, double cy, double radius) {
    softShadow(cr, cx + 1.5, cy + 3.0, radius + 5.5, 9.0, 0.62);
}

void ledSeat(cairo_t* cr, double cx, double cy, double diameter) {
    const double hole = diameter * 0.5 + 0.4;
    const double bezel = hole + 3.2;
    softShadow(cr, cx + 0.6, cy + 1.2, bezel + 2.5, 3.5, 0.5);
    cairo_pattern_t* ring = cairo_pattern_create_linear(cx - bezel, cy - bezel, cx + bezel, cy + bezel);
    addStop(ring, 0.0, hex(0xf2f4f6));
    addStop(ring, 0.5, hex(0x9da3a9));
    addStop(ring, 1.0, hex(0x4d5257));
    circle(cr, cx, cy, bezel);
    cairo_set_source(cr, ring);
    cairo_fill(cr);
    cairo_pattern_destroy(ring);
    cairo_pattern_t* well = cairo_pattern_create_radial(cx, cy, 0, cx, cy, hole);
    addStop(well, 0.0, hex(0x3a3c42));
    addStop(well, 1.0, hex(0x0d0d10));
    circle(cr, cx, cy, hole);
    cairo_set_source(cr, well);
    cairo_fill(cr);
    cairo_pattern_destroy(well);
}

// The maker's mark: a ring with a tail, then the name.
void makerMark(cairo_t* cr, double cx, double cy, Rgb ink) {
    const Font wordmark = sized(kSerifBoldItalic, 17, 0.6);
    const double nameWidth = textWidth(cr, "Quendry", wordmark);
    const double emblem = 7.0;
    const double total = emblem * 2 + 6 + nameWidth;
    const double left = cx - total * 0.5;
    const double ex = left + emblem;
    const double ey = cy;
    circle(cr, ex, ey, emblem - 1);
    cairo_set_line_width(cr, 2.2);
    setColour(cr, ink);
    cairo_stroke(cr);
    cairo_new_path(cr);
    cairo_move_to(cr, ex + 1.5, ey + 1.5);
    cairo_line_to(cr, ex + emblem + 0.8, ey + emblem + 0.8);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 2.2);
    cairo_stroke(cr);
    setColour(cr, ink);
    text(cr, "Quendry", left + emblem * 2 + 6, cy + 6, wordmark, Align::Left);
}

// Ripples spreading from a point and fading: repeats dying away.
void echoes(cairo_t* cr, double cx, double cy, Rgb accent) {
    for (int i = 0; i < 6; ++i) {
        const double r = 12.0 + i * 13.0;
        const double alpha = 0.95 * std::pow(0.72, i);
        cairo_new_path(cr);
        cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
        cairo_set_line_width(cr, 2.4 - i * 0.22);
        setColour(cr, accent, alpha);
        cairo_stroke(cr);
    }
    cairo_pattern_t* glow = cairo_pattern_create_radial(cx, cy, 0, cx, cy, 16);
    addStop(glow, 0.0, lighter(accent, 0.8), 1.0);
    addStop(glow, 0.35, accent, 0.9);
    addStop(glow, 1.0, accent, 0.0);
    circle(cr, cx, cy, 16);
    cairo_set_source(cr, glow);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);
}

// A setting sun over banded water.
void horizon(cairo_t* cr, double cx, double cy, double r, Rgb sun, Rgb ink) {
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, cx - r - 2, cy - r - 2, 2 * r + 4, r + 2);
    cairo_clip(cr);
    circle(cr, cx, cy, r);
    setColour(cr, sun);
    cairo_fill(cr);
    // The sun's lower part cut into bands.
    for (int i = 0; i < 5; ++i) {
        const double band = 3.0 + i * 1.4;
        const double y = cy - r * 0.42 + i * r * 0.1;
        cairo_new_path(cr);
        cairo_rectangle(cr, cx - r - 2, y, 2 * r + 4, band * 0.55);
        setColour(cr, ink);
        cairo_fill(cr);
    }
    cairo_restore(cr);
    cairo_new_path(cr);
    cairo_move_to(cr, cx - r * 1.5, cy + 1);
    cairo_line_to(cr, cx + r * 1.5, cy + 1);
    cairo_set_line_width(cr, 2.0);
    setColour(cr, ink);
    cairo_stroke(cr);
    for (int i = 1; i <= 3; ++i) {
        const double half = r * (1.2 - 0.3 * i);
        cairo_new_path(cr);
        cairo_move_to(cr, cx - half, cy + 1 + i * 7);
        cairo_line_to(cr, cx + half, cy + 1 + i * 7);
        cairo_set_line_width(cr, 1.6);
        setColour(cr, sun, 0.9 - 0.2 * i);
        cairo_stroke(cr);
    }
}

// An open umbrella from the side: a dome of six panels whose hems arc up between the
// ribs, the finial on top and the crook of the handle below.
void canopy(cairo_t* cr, double cx, double cy, double r, Rgb ink, Rgb accent) {
    const int panels = 6;
    auto tipX = [&](int i) { return cx - r * std::cos(kPi * i / panels); };
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);

    // The handle goes behind the canopy.
    cairo_new_path(cr);
    cairo_move_to(cr, cx, cy - r * 0.2);
    cairo_line_to(cr, cx, cy + r * 0.62);
    cairo_arc_negative(cr, cx - r * 0.11, cy + r * 0.62, r * 0.11, 0, kPi);
    cairo_set_line_width(cr, 3.0);
    setColour(cr, ink);
    cairo_stroke(cr);

    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, r, kPi, 2 * kPi);
    for (int i = panels; i > 0; --i) {
        const double x0 = tipX(i);
        const double x1 = tipX(i - 1);
        cairo_curve_to(cr, x0 - (x0 - x1) * 0.3, cy - r * 0.1, x1 + (x0 - x1) * 0.3, cy - r * 0.1, x1, cy);
    }
    cairo_close_path(cr);
    setColour(cr, accent, 0.45);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 2.0);
    setColour(cr, ink);
    cairo_stroke(cr);
    for (int i = 1; i < panels; ++i) {
        const double x = tipX(i);
        cairo_new_path(cr);
        cairo_move_to(cr, cx, cy - r);
        cairo_curve_to(cr, cx + (x - cx) * 0.55, cy - r * 0.95, x, cy - r * 0.45, x, cy);
        cairo_set_line_width(cr, 1.3);
        setColour(cr, ink, 0.85);
        cairo_stroke(cr);
    }
    cairo_new_path(cr);
    cairo_move_to(cr, cx, cy - r - 9);
    cairo_line_to(cr, cx, cy - r);
    cairo_set_line_width(cr, 2.6);
    setColour(cr, ink);
    cairo_stroke(cr);
}

// A double line round the face, broken where a lamp's bezel crosses it.
void pinstripe(cairo_t* cr, double w, double h, Rgb accent, const fxcoreplug::PanelLayout& layout) {
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, 0, 0, w, h);
    for (int i = 0; i < layout.ledCount; ++i) {
        const fxcoreplug::LedSpec& led = layout.leds[i];
        cairo_new_sub_path(cr);
        cairo_arc(cr, led.x, led.y, led.diameter * 0.5 + 9.0, 0, 2 * kPi);
    }
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_clip(cr);
    const double inset = 27.0;
    roundedRect(cr, inset, inset, w - 2 * inset, h - 2 * inset, 12);
    cairo_set_line_width(cr, 1.4);
    setColour(cr, accent, 0.9);
    cairo_stroke(cr);
    roundedRect(cr, inset + 4, inset + 4, w - 2 * inset - 8, h - 2 * inset - 8, 9);
    cairo_set_line_width(cr, 0.7);
    setColour(cr, accent, 0.7);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void diamond(cairo_t* cr, double cx, double cy, double r, Rgb colour) {
    cairo_new_path(cr);
    cairo_move_to(cr, cx, cy - r);
    cairo_line_to(cr, cx + r, cy);
    cairo_line_to(cr, cx, cy + r);
    cairo_line_to(cr, cx - r, cy);
    cairo_close_path(cr);
    setColour(cr, colour);
    cairo_fill(cr);
}

void motif(cairo_t* cr, double w, double h, const FaceDesign& d, const fxcoreplug::PanelLayout& layout) {
    switch (d.motif) {
        case Motif::Echoes: echoes(cr, w * 0.5, 334, d.accent); break;
        case Motif::Horizon: horizon(cr, w * 0.5, 410, 78, d.accent, d.ink); break;
        case Motif::Stripes:
            // A band in each big knob's colour runs down from it.
            for (int i = 0; i < 3 && i < layout.knobCount; ++i) {
                static const unsigned colours[] = {0x1f5fbf, 0xe2661c, 0xf0c419};
                const double x = layout.knobs[i].x;
                roundedRect(cr, x - 7, 254, 14, 118, 7);
                setColour(cr, hex(colours[i]));
                cairo_fill(cr);
            }
            break;
        case Motif::Canopy: canopy(cr, w * 0.5, 262, 92, d.ink, d.accent); break;
        case Motif::Pinstripe: pinstripe(cr, w, h, d.accent, layout); break;
    }
}

// The centre of the footswitch image: the editor puts the image's top-left corner on
// the view's top-left corner, so it is not always the view's centre.
void footswitchCentre(const fxcoreplug::FootswitchSpec& f, double& x, double& y) {
    const ImageSpec* image = findSpec(f.leftImage ? "left-footswitch" : "right-footswitch");
    const double iw = image != nullptr ? image->width : f.width;
    const double ih = image != nullptr ? image->height : f.height;
    x = f.x - f.width * 0.5 + iw * 0.5;
    y = f.y - f.height * 0.5 + ih * 0.5;
}

}  // namespace

void drawFace(cairo_t* cr, double w, double h, const fxcoreplug::PanelLayout& layout) {
    const FaceDesign& d = designFor(layout);
    cairo_save(cr);
    enclosure(cr, w, h, d.paint);
    motif(cr, w, h, d, layout);

    const double inset = 16.0;
    screw(cr, inset, inset, 0.35);
    screw(cr, w - inset, inset, 1.1);
    screw(cr, inset, h - inset, 0.8);
    screw(cr, w - inset, h - inset, 0.15);

    for (int i = 0; i < layout.knobCount; ++i) {
        const fxcoreplug::KnobSpec& k = layout.knobs[i];
        const double r = knobRadiusOnPanel(k.image, k.size);
        knobSeat(cr, k.x, k.y, r);
        knobScale(cr, k.x, k.y, r, k.large, d.ink);
        if (d.knobLabels[i] != nullptr) {
            setColour(cr, d.ink);
            const Font f = sized(kSansBold, k.large ? 10.5 : 9.0, 1.6);
            text(cr, d.knobLabels[i], k.x, k.y + r + (k.large ? 21.0 : 18.0), f, Align::Centre);
        }
    }
    for (int i = 0; i < layout.footswitchCount; ++i) {
        const fxcoreplug::FootswitchSpec& f = layout.footswitches[i];
        double x = 0.0;
        double y = 0.0;
        footswitchCentre(f, x, y);
        softShadow(cr, x + 2.0, y + 4.0, f.width * 0.5 + 6.0, 10.0, 0.6);
        if (d.footswitchLabels[i] != nullptr) {
            setColour(cr, d.ink);
            text(cr, d.footswitchLabels[i], f.x, f.y + f.height * 0.5 + 22.0, sized(kSansBold, 10.5, 1.6),
                 Align::Centre);
        }
    }
    for (int i = 0; i < layout.ledCount; ++i) {
        const fxcoreplug::LedSpec& led = layout.leds[i];
        ledSeat(cr, led.x, led.y, led.diameter);
        if (d.ledLabels[i] != nullptr) {
            // Labels sit beside the lamp, towards the middle of the face.
            const bool leftHalf = led.x < w * 0.5;
            const double x = led.x + (leftHalf ? 1.0 : -1.0) * (led.diameter * 0.5 + 13.0);
            setColour(cr, d.ink);
            text(cr, d.ledLabels[i], x, led.y + 3.5, sized(kSansBold, 8.5, 1.4), leftHalf ? Align::Left : Align::Right);
        }
    }

    setColour(cr, d.ink);
    text(cr, d.title, w * 0.5, d.titleY, d.titleFont, Align::Centre);
    if (d.motif == Motif::Canopy) {
        // The numeral sits in a ring below the name.
        circle(cr, w * 0.5, d.titleY + 36, 17);
        cairo_set_line_width(cr, 1.8);
        setColour(cr, d.ink);
        cairo_stroke(cr);
        text(cr, d.subtitle, w * 0.5, d.titleY + 43, sized(kSerifBoldItalic, 19, 1), Align::Centre);
    } else {
        const Font sub = sized(kSansBold, 10, 4.5);
        const double subY = d.titleY + 22;
        setColour(cr, d.accent);
        const double width = text(cr, d.subtitle, w * 0.5, subY, sub, Align::Centre);
        if (d.motif == Motif::Pinstripe) {
            diamond(cr, w * 0.5 - width * 0.5 - 12, subY - 3.6, 3.2, d.accent);
            diamond(cr, w * 0.5 + width * 0.5 + 12, subY - 3.6, 3.2, d.accent);
        }
    }
    makerMark(cr, w * 0.5, d.makerY, d.ink);
    cairo_restore(cr);
}

}  // namespace artgen
