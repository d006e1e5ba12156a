// The lever switch: position, bands and drawing.
#include "fxcoreedit/toggle_view.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace fxcoreplug {

using lumivex::ui::Bitmap;
using lumivex::ui::MouseButtons;
using lumivex::ui::MouseResult;
using lumivex::ui::Point;
using lumivex::ui::Rect;

ToggleView::ToggleView(const Rect& rect, lumivex::ui::ControlListener* listener, int32_t tag,
                       std::shared_ptr<Bitmap> up, std::shared_ptr<Bitmap> middle, std::shared_ptr<Bitmap> down,
                       int requestedPositions)
    : Control(rect, listener, tag),
      up_(std::move(up)),
      middle_(std::move(middle)),
      down_(std::move(down)),
      positions_(requestedPositions <= 2 ? 2 : 3) {
    setTransparent(true);
    setRange(0.0f, static_cast<float>(positions_ - 1));
    setValue(positions_ == 3 ? 1.0f : 0.0f);
}

std::unique_ptr<lumivex::ui::View> ToggleView::clone() const { return std::make_unique<ToggleView>(*this); }

int ToggleView::position() const {
    const long p = std::lroundf(value());
    return static_cast<int>(std::clamp(p, 0L, static_cast<long>(positions_ - 1)));
}

void ToggleView::setPosition(int position) {
    setValue(static_cast<float>(std::clamp(position, 0, positions_ - 1)));
    invalidate();
}

void ToggleView::draw(lumivex::ui::Canvas& canvas) {
    canvas.setDrawMode({.antialias = true, .fractional = true});
    canvas.setInterpolation(lumivex::ui::Interpolation::Best);
    const int p = position();
    const Bitmap* bitmap = (positions_ == 2 && p == 1) ? down_.get()
                           : p == 0                    ? up_.get()
                           : p == 1                    ? middle_.get()
                                                       : down_.get();
    if (bitmap != nullptr) {
        const Rect& r = rect();
        const double bw = bitmap->width();
        const double bh = bitmap->height();
        canvas.drawBitmap(*bitmap,
                          Rect::fromSize(r.left + (r.width() - bw) * 0.5, r.top + (r.height() - bh) * 0.5, bw, bh),
                          {0.0, 0.0}, 1.0);
    }
    setDirty(false);
}

MouseResult ToggleView::onMouseDown(Point where, MouseButtons buttons) {
    if (!buttons.isLeftOnly()) return MouseResult::NotHandled;
    const Rect& r = rect();
    const double scaled = std::trunc(positions_ * (where.y - r.top) / std::max(r.height(), 1.0));
    const int band = std::isfinite(scaled) ? static_cast<int>(std::clamp(scaled, 0.0, positions_ - 1.0)) : 0;
    if (band == position()) return MouseResult::Handled;
    beginEdit();
    setValue(static_cast<float>(band));
    invalidate();
    notifyValueChanged();
    endEdit();
    return MouseResult::Handled;
}

}  // namespace fxcoreplug
