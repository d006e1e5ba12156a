// A rotary control. The knob has no look of its own (subclasses draw it); it turns
// with the mouse and the wheel over its whole range:
//  - linear mode: dragging up by kTravel points (pixels at zoom 1) goes from the
//    minimum to the maximum, ten times slower while Shift is held;
//  - circular mode: the value follows the pointer's angle about the centre, from
//    135 degrees left of straight up (minimum) to 135 degrees right (maximum);
//  - the wheel moves kWheelStep of the range per notch (a tenth of that with Shift),
//    each notch a complete edit.
// A drag is one edit from the press to the release.
#pragma once

#include "lumivex_ui/control.h"

namespace lumivex::ui {

enum class KnobMode { Circular, Linear };

class Knob : public Control {
public:
    static constexpr double kTravel = 200.0;
    static constexpr double kFineFactor = 0.1;
    static constexpr float kWheelStep = 0.05f;
    static constexpr double kHalfSweepDegrees = 135.0;

    // The mode new drags use, for every knob; circular until changed.
    static void setDefaultMode(KnobMode mode);
    static KnobMode defaultMode();

    Knob(const Rect& rect, ControlListener* listener, int32_t tag);
    Knob(const Knob& other);
    std::unique_ptr<View> clone() const override;

    void draw(Canvas& canvas) override;
    MouseResult onMouseDown(Point where, MouseButtons buttons) override;
    MouseResult onMouseMoved(Point where, MouseButtons buttons) override;
    MouseResult onMouseUp(Point where, MouseButtons buttons) override;
    void onMouseCancel() override;
    bool onWheel(Point where, double notches, MouseButtons buttons) override;

private:
    void moveTo(float normalized);
    float angleValue(Point where) const;

    bool dragging_ = false;
    KnobMode dragMode_ = KnobMode::Circular;
    double lastY_ = 0.0;
};

}  // namespace lumivex::ui
