// Drawing through cairo in points.
#include "lumivex_ui/canvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lumivex::ui {

namespace {

cairo_filter_t filterFor(Interpolation q) {
    switch (q) {
        case Interpolation::Fast: return CAIRO_FILTER_FAST;
        case Interpolation::Good: return CAIRO_FILTER_GOOD;
        case Interpolation::Best: return CAIRO_FILTER_BEST;
        case Interpolation::Default: break;
    }
    return CAIRO_FILTER_GOOD;
}

bool drawable(const Rect& r) {
    return std::isfinite(r.left) && std::isfinite(r.top) && std::isfinite(r.right) && std::isfinite(r.bottom) &&
           !r.isEmpty();
}

}  // namespace

Canvas::Canvas(cairo_t* cr) : cr_(cr != nullptr ? cairo_reference(cr) : nullptr) { setDrawMode(state_.mode); }

Canvas::Canvas(cairo_surface_t* target, double zoom) : cr_(cairo_create(target)) {
    if (std::isfinite(zoom) && zoom > 0.0) cairo_scale(cr_, zoom, zoom);
    setDrawMode(state_.mode);
}

Canvas::~Canvas() {
    if (cr_ != nullptr) cairo_destroy(cr_);
}

void Canvas::setDrawMode(DrawMode mode) {
    state_.mode = mode;
    if (cr_ != nullptr) cairo_set_antialias(cr_, mode.antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

void Canvas::setLineWidth(double width) {
    if (std::isfinite(width) && width > 0.0) state_.lineWidth = width;
}

Point Canvas::snapped(Point p) const {
    if (state_.mode.fractional) return p;
    cairo_user_to_device(cr_, &p.x, &p.y);
    p.x = std::round(p.x);
    p.y = std::round(p.y);
    cairo_device_to_user(cr_, &p.x, &p.y);
    return p;
}

Rect Canvas::snapped(const Rect& r) const {
    const Point a = snapped(r.topLeft());
    const Point b = snapped(Point{r.right, r.bottom});
    return {a.x, a.y, b.x, b.y};
}

void Canvas::setSource(Colour c) {
    cairo_set_source_rgba(cr_, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

void Canvas::paintPath(PaintStyle style) {
    if (style != PaintStyle::Stroke) {
        setSource(state_.fill);
        if (style == PaintStyle::FillAndStroke) cairo_fill_preserve(cr_); else cairo_fill(cr_);
    }
    if (style != PaintStyle::Fill) {
        setSource(state_.stroke);
        cairo_set_line_width(cr_, state_.lineWidth);
        cairo_stroke(cr_);
    }
    cairo_new_path(cr_);
}

void Canvas::drawBitmap(const Bitmap& bitmap, const Rect& dest, Point offset, double alpha) {
    if (cr_ == nullptr || !drawable(dest) || !std::isfinite(offset.x) || !std::isfinite(offset.y) ||
        !(alpha > 0.0)) {
        return;
    }
    const Point origin = snapped(Point{dest.left - offset.x, dest.top - offset.y});
    const Rect clip = snapped(dest);
    if (clip.isEmpty()) return;
    cairo_save(cr_);
    cairo_rectangle(cr_, clip.left, clip.top, clip.width(), clip.height());
    cairo_clip(cr_);
    cairo_translate(cr_, origin.x, origin.y);
    cairo_scale(cr_, 1.0 / bitmap.scaleFactor(), 1.0 / bitmap.scaleFactor());
    cairo_set_source_surface(cr_, bitmap.surface(), 0.0, 0.0);
    cairo_pattern_set_filter(cairo_get_source(cr_), filterFor(state_.interpolation));
    cairo_paint_with_alpha(cr_, std::min(alpha, 1.0));
    cairo_restore(cr_);
}

void Canvas::drawEllipse(const Rect& r, PaintStyle style) {
    if (cr_ == nullptr || !drawable(r)) return;
    const Rect e = snapped(r);
    if (e.isEmpty()) return;
    cairo_new_path(cr_);
    cairo_save(cr_);
    cairo_translate(cr_, (e.left + e.right) * 0.5, (e.top + e.bottom) * 0.5);
    cairo_scale(cr_, e.width() * 0.5, e.height() * 0.5);
    cairo_arc(cr_, 0.0, 0.0, 1.0, 0.0, 2.0 * std::numbers::pi);
    cairo_restore(cr_);  // the path keeps its shape; the stroke width stays in points
    paintPath(style);
}

void Canvas::drawRect(const Rect& r, PaintStyle style) {
    if (cr_ == nullptr || !drawable(r)) return;
    const Rect e = snapped(r);
    if (e.isEmpty()) return;
    cairo_new_path(cr_);
    cairo_rectangle(cr_, e.left, e.top, e.width(), e.height());
    paintPath(style);
}

void Canvas::save() {
    if (cr_ == nullptr) return;
    saved_.push_back(state_);
    cairo_save(cr_);
}

void Canvas::restore() {
    if (cr_ == nullptr || saved_.empty()) return;
    cairo_restore(cr_);
    state_ = saved_.back();
    saved_.pop_back();
    setDrawMode(state_.mode);
}

void Canvas::clipTo(const Rect& r) {
    if (cr_ == nullptr) return;
    cairo_new_path(cr_);
    if (drawable(r)) cairo_rectangle(cr_, r.left, r.top, r.width(), r.height());
    cairo_clip(cr_);  // an empty path clips everything away
}

void Canvas::resetSettings() {
    state_ = State{};
    setDrawMode(state_.mode);
}

}  // namespace lumivex::ui
