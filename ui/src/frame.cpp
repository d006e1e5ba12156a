// The frame's views, damage, drawing and mouse routing; no X11 here.
#include "lumivex_ui/frame.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "x11_window.h"

namespace lumivex::ui {

namespace {

double sanePositive(double v) { return std::isfinite(v) && v > 0.0 ? v : 1.0; }

uint32_t pixels(double points, double zoom) {
    const long n = std::lround(points * zoom);
    return n < 1 ? 1u : static_cast<uint32_t>(std::min(n, 32767L));
}

}  // namespace

// Views removed while an event is being dispatched or a redraw runs stay alive
// until the outermost one ends, so no caller up the stack holds a dangling view.
struct Frame::DispatchScope {
    explicit DispatchScope(Frame& f) : frame(f) { ++frame.dispatchDepth_; }
    ~DispatchScope() {
        if (--frame.dispatchDepth_ == 0) frame.removed_.clear();
    }
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;
    Frame& frame;
};

Frame::Frame(double width, double height) : width_(sanePositive(width)), height_(sanePositive(height)) {}

Frame::~Frame() {
    close();
    removeAllViews();
}

bool Frame::setZoom(double zoom) {
    if (!std::isfinite(zoom) || zoom <= 0.0) return false;
    zoom_ = zoom;
    if (window_ != nullptr) window_->resize(pixelWidth(), pixelHeight());
    invalidate();
    return true;
}

uint32_t Frame::pixelWidth() const { return pixels(width_, zoom_); }
uint32_t Frame::pixelHeight() const { return pixels(height_, zoom_); }

View* Frame::addView(std::unique_ptr<View> view) {
    if (view == nullptr) return nullptr;
    View* raw = view.get();
    raw->frame_ = this;
    views_.push_back(std::move(view));
    raw->invalidate();
    return raw;
}

bool Frame::removeView(View* view) {
    const auto it = std::find_if(views_.begin(), views_.end(), [view](const auto& v) { return v.get() == view; });
    if (it == views_.end()) return false;
    if (capture_ == view) cancelCapture();
    invalidRect(view->rect_);
    std::unique_ptr<View> owned = std::move(*it);
    views_.erase(it);
    owned->frame_ = nullptr;
    if (dispatchDepth_ > 0) removed_.push_back(std::move(owned));
    return true;
}

void Frame::removeAllViews() {
    while (!views_.empty()) removeView(views_.back().get());
}

void Frame::setBackground(std::shared_ptr<Bitmap> bitmap) {
    background_ = std::move(bitmap);
    invalidate();
}

void Frame::setBackgroundColour(Colour c) {
    backgroundColour_ = c;
    invalidate();
}

void Frame::invalidRect(const Rect& r) { damage_.add(r.intersection(bounds())); }

bool Frame::needsRedraw() const {
    return !damage_.empty() || std::any_of(views_.begin(), views_.end(), [](const auto& v) { return v->dirty_; });
}

void Frame::collectDirtyViews() {
    for (const auto& v : views_) {
        if (v->dirty_) invalidRect(v->rect_);
    }
}

size_t Frame::flush() {
    collectDirtyViews();
    const uint32_t pw = pixelWidth();
    const uint32_t ph = pixelHeight();
    if (buffer_ == nullptr || buffer_->pixelWidth() != pw || buffer_->pixelHeight() != ph ||
        buffer_->scaleFactor() != zoom_) {
        buffer_ = Bitmap::blank(pw, ph, zoom_);
        if (buffer_ == nullptr) return 0;
        damage_.clear();
        damage_.add(bounds());
    }
    if (damage_.empty()) return 0;

    // Whole device pixels, so every redrawn pixel is repainted completely.
    std::vector<Rect> areas;
    std::vector<PixelRect> pixelAreas;
    for (const Rect& r : damage_.take()) {
        const auto x0 = static_cast<int>(std::clamp(std::floor(r.left * zoom_), 0.0, double(pw)));
        const auto y0 = static_cast<int>(std::clamp(std::floor(r.top * zoom_), 0.0, double(ph)));
        const auto x1 = static_cast<int>(std::clamp(std::ceil(r.right * zoom_), 0.0, double(pw)));
        const auto y1 = static_cast<int>(std::clamp(std::ceil(r.bottom * zoom_), 0.0, double(ph)));
        if (x1 <= x0 || y1 <= y0) continue;
        pixelAreas.push_back({x0, y0, x1 - x0, y1 - y0});
        areas.push_back({x0 / zoom_, y0 / zoom_, x1 / zoom_, y1 / zoom_});
    }
    size_t drawn = 0;
    {
        Canvas canvas(buffer_->surface(), zoom_);
        drawn = render(canvas, areas);
    }
    cairo_surface_flush(buffer_->surface());
    if (window_ != nullptr) window_->present(buffer_->surface(), pixelAreas);
    return drawn;
}

size_t Frame::render(Canvas& canvas, const std::vector<Rect>& areas) {
    cairo_t* cr = canvas.cairo();
    if (cr == nullptr) return 0;
    DispatchScope scope(*this);
    canvas.save();
    canvas.resetSettings();
    cairo_new_path(cr);
    bool any = false;
    for (const Rect& a : areas) {
        const Rect c = a.intersection(bounds());
        if (c.isEmpty()) continue;
        cairo_rectangle(cr, c.left, c.top, c.width(), c.height());
        any = true;
    }
    if (!any) {
        cairo_new_path(cr);
        canvas.restore();
        return 0;
    }
    cairo_clip(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    const Colour bg = backgroundColour_;
    cairo_set_source_rgba(cr, bg.red / 255.0, bg.green / 255.0, bg.blue / 255.0, bg.alpha / 255.0);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    if (background_ != nullptr) {
        canvas.drawBitmap(*background_, {0.0, 0.0, background_->width(), background_->height()});
    }

    std::vector<View*> order;
    for (const auto& v : views_) order.push_back(v.get());
    size_t drawn = 0;
    for (View* v : order) {
        if (v->frame_ != this) continue;  // removed by an earlier view's drawing
        const Rect r = v->rect_;
        if (std::none_of(areas.begin(), areas.end(), [&r](const Rect& a) { return a.intersects(r); })) continue;
        canvas.save();
        canvas.clipTo(r);
        canvas.resetSettings();
        try {
            v->draw(canvas);
        } catch (...) {
            // A view that fails to draw leaves its area as far as it got.
        }
        canvas.restore();
        v->dirty_ = false;
        ++drawn;
    }
    canvas.restore();
    return drawn;
}

std::shared_ptr<Bitmap> Frame::snapshot() {
    std::shared_ptr<Bitmap> shot = Bitmap::blank(pixelWidth(), pixelHeight(), zoom_);
    if (shot == nullptr) return nullptr;
    {
        Canvas canvas(shot->surface(), zoom_);
        render(canvas, {bounds()});
    }
    cairo_surface_flush(shot->surface());
    return shot;
}

void Frame::cancelCapture() {
    View* v = std::exchange(capture_, nullptr);
    if (v == nullptr) return;
    DispatchScope scope(*this);
    try {
        v->onMouseCancel();
    } catch (...) {
    }
}

View* Frame::topmostAt(Point where, size_t below) const {
    for (size_t i = std::min(below, views_.size()); i-- > 0;) {
        View* v = views_[i].get();
        if (v->mouseEnabled_ && v->rect_.contains(where)) return v;
    }
    return nullptr;
}

MouseResult Frame::dispatchMouseDown(Point where, MouseButtons buttons) {
    DispatchScope scope(*this);
    try {
        if (capture_ != nullptr) return capture_->onMouseDown(where, buttons);
        // Offer the press from the top down until a view takes it.
        for (size_t below = views_.size();;) {
            View* v = topmostAt(where, below);
            if (v == nullptr) return MouseResult::NotHandled;
            const MouseResult result = v->onMouseDown(where, buttons);
            if (result == MouseResult::Handled && v->frame_ == this) capture_ = v;
            if (result != MouseResult::NotHandled) return result;
            const auto it = std::find_if(views_.begin(), views_.end(), [v](const auto& p) { return p.get() == v; });
            if (it == views_.end()) return MouseResult::NotHandled;
            below = static_cast<size_t>(it - views_.begin());
        }
    } catch (...) {
        cancelCapture();
        return MouseResult::NotHandled;
    }
}

MouseResult Frame::dispatchMouseMoved(Point where, MouseButtons buttons) {
    DispatchScope scope(*this);
    if (capture_ == nullptr) return MouseResult::NotHandled;
    try {
        return capture_->onMouseMoved(where, buttons);
    } catch (...) {
        cancelCapture();
        return MouseResult::NotHandled;
    }
}

MouseResult Frame::dispatchMouseUp(Point where, MouseButtons buttons) {
    DispatchScope scope(*this);
    View* v = std::exchange(capture_, nullptr);
    if (v == nullptr) return MouseResult::NotHandled;
    try {
        return v->onMouseUp(where, buttons);
    } catch (...) {
        return MouseResult::NotHandled;
    }
}

bool Frame::dispatchWheel(Point where, double notches, MouseButtons buttons) {
    DispatchScope scope(*this);
    try {
        for (size_t below = views_.size();;) {
            View* v = topmostAt(where, below);
            if (v == nullptr) return false;
            if (v->onWheel(where, notches, buttons)) return true;
            const auto it = std::find_if(views_.begin(), views_.end(), [v](const auto& p) { return p.get() == v; });
            if (it == views_.end()) return false;
            below = static_cast<size_t>(it - views_.begin());
        }
    } catch (...) {
        return false;
    }
}

}  // namespace lumivex::ui
