#include "paint.h"

#include <algorithm>
#include <cmath>

namespace artgen {

Rgb mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb lighter(Rgb c, double amount) { return mix(c, Rgb{1.0, 1.0, 1.0}, amount); }

Rgb darker(Rgb c, double amount) { return mix(c, Rgb{0.0, 0.0, 0.0}, amount); }

void setColour(cairo_t* cr, Rgb c, double alpha) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

void addStop(cairo_pattern_t* pattern, double offset, Rgb c, double alpha) {
    cairo_pattern_add_color_stop_rgba(pattern, offset, c.r, c.g, c.b, alpha);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double radius) {
    const double r = std::min(radius, std::min(w, h) * 0.5);
    cairo_new_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

void circle(cairo_t* cr, double cx, double cy, double radius) {
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, radius, 0, 2 * kPi);
    cairo_close_path(cr);
}

void regularPolygon(cairo_t* cr, double cx, double cy, double radius, int corners, double rotation) {
    cairo_new_path(cr);
    for (int i = 0; i < corners; ++i) {
        const double a = rotation + 2 * kPi * i / corners;
        cairo_line_to(cr, cx + radius * std::cos(a), cy + radius * std::sin(a));
    }
    cairo_close_path(cr);
}

void scallopedCircle(cairo_t* cr, double cx, double cy, double radius, double depth, int bumps) {
    cairo_new_path(cr);
    const int steps = bumps * 16;
    for (int i = 0; i < steps; ++i) {
        const double a = 2 * kPi * i / steps;
        // A rounded crest and a narrower groove: |sin| gives grooves that read as flutes.
        const double wave = std::fabs(std::sin(a * bumps * 0.5));
        const double r = radius - depth * (1.0 - std::pow(wave, 0.6));
        cairo_line_to(cr, cx + r * std::sin(a), cy - r * std::cos(a));
    }
    cairo_close_path(cr);
}

void shadeDisc(cairo_t* cr, double cx, double cy, double radius, Rgb inner, Rgb outer) {
    cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy, 0, cx, cy, radius);
    addStop(p, 0.0, inner);
    addStop(p, 1.0, outer);
    circle(cr, cx, cy, radius);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void softShadow(cairo_t* cr, double cx, double cy, double radius, double blur, double alpha) {
    cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy, std::max(0.0, radius - blur), cx, cy, radius);
    cairo_pattern_add_color_stop_rgba(p, 0.0, 0, 0, 0, alpha);
    cairo_pattern_add_color_stop_rgba(p, 0.45, 0, 0, 0, alpha * 0.45);
    cairo_pattern_add_color_stop_rgba(p, 1.0, 0, 0, 0, 0.0);
    circle(cr, cx, cy, radius);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

namespace {

void selectFont(cairo_t* cr, const Font& font) {
    cairo_select_font_face(cr, font.family, font.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           font.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, font.size);
    // Unhinted outlines: the plain and the "@2x" lettering then have the same shapes,
    // and nothing depends on the machine's font settings.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

double advance(cairo_t* cr, const std::string& s) {
    cairo_text_extents_t extents;
    cairo_text_extents(cr, s.c_str(), &extents);
    return extents.x_advance;
}

}  // namespace

double textWidth(cairo_t* cr, const std::string& s, const Font& font) {
    selectFont(cr, font);
    if (font.tracking == 0.0) return advance(cr, s);
    double width = 0.0;
    for (char ch : s) width += advance(cr, std::string(1, ch)) + font.tracking;
    return s.empty() ? 0.0 : width - font.tracking;
}

double text(cairo_t* cr, const std::string& s, double x, double y, const Font& font, Align align) {
    const double width = textWidth(cr, s, font);
    double left = x;
    if (align == Align::Centre) left = x - width * 0.5;
    if (align == Align::Right) left = x - width;
    cairo_new_path(cr);
    if (font.tracking == 0.0) {
        cairo_move_to(cr, left, y);
        cairo_text_path(cr, s.c_str());
    } else {
        double pen = left;
        for (char ch : s) {
            const std::string letter(1, ch);
            cairo_move_to(cr, pen, y);
            cairo_text_path(cr, letter.c_str());
            pen += advance(cr, letter) + font.tracking;
        }
    }
    cairo_fill(cr);
    return width;
}

}  // namespace artgen
