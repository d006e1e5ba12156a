// Footswitch presses, releases and drawing.
#include "fxcoreedit/footswitch_view.h"

#include <utility>

namespace fxcoreplug {

using lumivex::ui::MouseButtons;
using lumivex::ui::MouseResult;
using lumivex::ui::Point;
using lumivex::ui::Rect;

FootswitchView::FootswitchView(const Rect& rect, lumivex::ui::ControlListener* listener, int32_t tag,
                               std::shared_ptr<lumivex::ui::Bitmap> bitmap, bool momentary)
    : Control(rect, listener, tag), bitmap_(std::move(bitmap)), momentary_(momentary) {
    setTransparent(true);
}

std::unique_ptr<lumivex::ui::View> FootswitchView::clone() const {
    return std::make_unique<FootswitchView>(*this);
}

void FootswitchView::draw(lumivex::ui::Canvas& canvas) {
    canvas.setDrawMode({.antialias = true, .fractional = true});
    canvas.setInterpolation(lumivex::ui::Interpolation::Best);
    if (bitmap_ != nullptr) canvas.drawBitmap(*bitmap_, rect(), {0.0, 0.0}, 1.0);
    setDirty(false);
}

MouseResult FootswitchView::onMouseDown(Point, MouseButtons buttons) {
    if (!buttons.isLeftOnly()) return MouseResult::NotHandled;
    if (momentary_ && editing()) return MouseResult::Handled;  // already held down
    beginEdit();
    setValue(momentary_ ? 1.0f : (value() > 0.5f ? 0.0f : 1.0f));
    notifyValueChanged();
    invalidate();
    if (!momentary_) endEdit();
    return MouseResult::Handled;
}

void FootswitchView::release() {
    setValue(0.0f);
    notifyValueChanged();
    invalidate();
    endEdit();
}

MouseResult FootswitchView::onMouseUp(Point, MouseButtons) {
    if (momentary_) release();
    return MouseResult::Handled;
}

void FootswitchView::onMouseCancel() {
    if (momentary_ && editing()) release();
}

}  // namespace fxcoreplug
