// Drawing helpers shared by the artwork: colours, shapes, shading and lettering on a
// cairo context. Every drawing works in points; the caller scales the context for the
// "@2x" twin, so one drawing serves both resolutions.
#pragma once

#include <cairo.h>

#include <string>

namespace artgen {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
};

// 0xRRGGBB.
constexpr Rgb hex(unsigned value) {
    return {static_cast<double>((value >> 16) & 0xffu) / 255.0, static_cast<double>((value >> 8) & 0xffu) / 255.0,
            static_cast<double>(value & 0xffu) / 255.0};
}

// t = 0 gives a, t = 1 gives b.
Rgb mix(Rgb a, Rgb b, double t);
Rgb lighter(Rgb c, double amount);  // towards white
Rgb darker(Rgb c, double amount);   // towards black

void setColour(cairo_t* cr, Rgb c, double alpha = 1.0);
void addStop(cairo_pattern_t* pattern, double offset, Rgb c, double alpha = 1.0);

// Paths (the current path is replaced).
void roundedRect(cairo_t* cr, double x, double y, double w, double h, double radius);
void circle(cairo_t* cr, double cx, double cy, double radius);
void regularPolygon(cairo_t* cr, double cx, double cy, double radius, int corners, double rotation);
// A circle whose rim is `bumps` shallow scallops: the side of a fluted or knurled knob.
void scallopedCircle(cairo_t* cr, double cx, double cy, double radius, double depth, int bumps);

// Fills a disc with a radial gradient from `inner` at the centre to `outer` at the rim.
void shadeDisc(cairo_t* cr, double cx, double cy, double radius, Rgb inner, Rgb outer);
// A soft round shadow: black fading from `alpha` at `radius` - `blur` to 0 at `radius`.
void softShadow(cairo_t* cr, double cx, double cy, double radius, double blur, double alpha);

enum class Align { Left, Centre, Right };

struct Font {
    const char* family = "DejaVu Sans";
    bool bold = false;
    bool italic = false;
    double size = 10.0;
    double tracking = 0.0;  // extra space after every letter, in points
};

// Lays one line of text with its baseline at y, aligned on x; returns its width.
double text(cairo_t* cr, const std::string& s, double x, double y, const Font& font, Align align);
double textWidth(cairo_t* cr, const std::string& s, const Font& font);

}  // namespace artgen
