// The draw context handed to views: draws bitmaps, ellipses and rectangles through
// cairo in points. It works on any cairo context, so views can be drawn onto an
// image surface and read back without a display.
#pragma once

#include <cairo.h>

#include <vector>

#include "lumivex_ui/bitmap.h"
#include "lumivex_ui/colour.h"
#include "lumivex_ui/geometry.h"

namespace lumivex::ui {

struct DrawMode {
    bool antialias = false;
    // When false, ellipses and bitmap positions are snapped to whole device pixels.
    bool fractional = false;

    friend bool operator==(const DrawMode&, const DrawMode&) = default;
};

enum class Interpolation { Default, Fast, Good, Best };
enum class PaintStyle { Fill, Stroke, FillAndStroke };

class Canvas {
public:
    // Draws through cr (the canvas holds a reference of its own); cr's current transformation maps
    // points to device pixels.
    explicit Canvas(cairo_t* cr);
    // Draws onto the surface (for example an image surface in a test), zoom device
    // pixels per point.
    explicit Canvas(cairo_surface_t* target, double zoom = 1.0);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    void setDrawMode(DrawMode mode);
    DrawMode drawMode() const { return state_.mode; }
    void setInterpolation(Interpolation quality) { state_.interpolation = quality; }
    Interpolation interpolation() const { return state_.interpolation; }
    void setFillColour(Colour c) { state_.fill = c; }
    void setStrokeColour(Colour c) { state_.stroke = c; }
    // Refuses a width that is not a positive number.
    void setLineWidth(double width);
    double lineWidth() const { return state_.lineWidth; }

    // Draws the bitmap at its own size in points with the bitmap point `offset` on
    // dest's top-left corner, clipped to dest, with the given opacity (0 to 1).
    void drawBitmap(const Bitmap& bitmap, const Rect& dest, Point offset = {}, double alpha = 1.0);
    // The ellipse inscribed in r; strokes are centred on its outline.
    void drawEllipse(const Rect& r, PaintStyle style);
    void drawRect(const Rect& r, PaintStyle style);

    // save/restore cover the clip and every setting above; restore without a matching
    // save is ignored.
    void save();
    void restore();
    void clipTo(const Rect& r);
    // Settings back to their defaults (aliased, integral, Default interpolation,
    // opaque black fill and stroke, line width 1); the clip is kept.
    void resetSettings();

    cairo_t* cairo() const { return cr_; }

private:
    struct State {
        DrawMode mode;
        Interpolation interpolation = Interpolation::Default;
        Colour fill{0, 0, 0, 255};
        Colour stroke{0, 0, 0, 255};
        double lineWidth = 1.0;
    };

    Point snapped(Point p) const;
    Rect snapped(const Rect& r) const;
    void paintPath(PaintStyle style);
    void setSource(Colour c);

    cairo_t* cr_;  // one reference held
    State state_;
    std::vector<State> saved_;
};

}  // namespace lumivex::ui
