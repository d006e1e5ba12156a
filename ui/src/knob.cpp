// Knob mouse and wheel handling.
#include "lumivex_ui/knob.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lumivex::ui {

namespace {

// Set by the editor before it builds a panel, read at every press; main thread.
KnobMode g_defaultMode = KnobMode::Circular;

}  // namespace

void Knob::setDefaultMode(KnobMode mode) { g_defaultMode = mode; }
KnobMode Knob::defaultMode() { return g_defaultMode; }

Knob::Knob(const Rect& rect, ControlListener* listener, int32_t tag) : Control(rect, listener, tag) {}

Knob::Knob(const Knob& other) : Control(other) {}

std::unique_ptr<View> Knob::clone() const { return std::make_unique<Knob>(*this); }

void Knob::draw(Canvas& canvas) { View::draw(canvas); }

void Knob::moveTo(float normalized) {
    const float before = value();
    setNormalized(std::clamp(normalized, 0.0f, 1.0f));
    if (value() != before) {
        invalidate();
        notifyValueChanged();
    }
}

float Knob::angleValue(Point where) const {
    const double cx = (rect().left + rect().right) * 0.5;
    const double cy = (rect().top + rect().bottom) * 0.5;
    // 0 straight up, positive clockwise on screen (y grows downwards).
    const double degrees = std::atan2(where.x - cx, cy - where.y) * 180.0 / std::numbers::pi;
    return static_cast<float>((degrees + kHalfSweepDegrees) / (2.0 * kHalfSweepDegrees));
}

MouseResult Knob::onMouseDown(Point where, MouseButtons buttons) {
    if (!buttons.isLeftOnly()) return MouseResult::NotHandled;
    if (dragging_) return MouseResult::Handled;
    dragging_ = true;
    dragMode_ = g_defaultMode;
    lastY_ = where.y;
    beginEdit();
    if (dragMode_ == KnobMode::Circular) moveTo(angleValue(where));
    return MouseResult::Handled;
}

MouseResult Knob::onMouseMoved(Point where, MouseButtons buttons) {
    if (!dragging_) return MouseResult::NotHandled;
    if (dragMode_ == KnobMode::Circular) {
        moveTo(angleValue(where));
    } else {
        const double fine = buttons.has(MouseButtons::kShift) ? kFineFactor : 1.0;
        const double delta = (lastY_ - where.y) / kTravel * fine;
        lastY_ = where.y;
        moveTo(static_cast<float>(normalized() + delta));
    }
    return MouseResult::Handled;
}

MouseResult Knob::onMouseUp(Point where, MouseButtons buttons) {
    if (!dragging_) return MouseResult::NotHandled;
    onMouseMoved(where, buttons);
    dragging_ = false;
    endEdit();
    return MouseResult::Handled;
}

void Knob::onMouseCancel() {
    if (!dragging_) return;
    dragging_ = false;
    endEdit();
}

bool Knob::onWheel(Point, double notches, MouseButtons buttons) {
    if (!std::isfinite(notches) || notches == 0.0) return false;
    const double fine = buttons.has(MouseButtons::kShift) ? kFineFactor : 1.0;
    beginEdit();
    moveTo(static_cast<float>(normalized() + notches * kWheelStep * fine));
    endEdit();
    return true;
}

}  // namespace lumivex::ui
