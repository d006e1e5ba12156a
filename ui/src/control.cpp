// Value, range and the edit bracket of a control.
#include "lumivex_ui/control.h"

#include <cmath>

namespace lumivex::ui {

Control::Control(const Rect& rect, ControlListener* listener, int32_t tag)
    : View(rect), listener_(listener), tag_(tag) {}

Control::Control(const Control& other)
    : View(other),
      listener_(other.listener_),
      tag_(other.tag_),
      value_(other.value_),
      min_(other.min_),
      max_(other.max_) {}

std::unique_ptr<View> Control::clone() const { return std::make_unique<Control>(*this); }

void Control::setValue(float value) {
    if (std::isnan(value) || value < min_) value = min_;
    if (value > max_) value = max_;
    value_ = value;
}

bool Control::setRange(float min, float max) {
    if (!std::isfinite(min) || !std::isfinite(max) || !(max > min)) return false;
    min_ = min;
    max_ = max;
    setValue(value_);
    return true;
}

void Control::setNormalized(float normalized) { setValue(min_ + normalized * (max_ - min_)); }

void Control::notifyValueChanged() {
    if (listener_ != nullptr) listener_->valueChanged(*this);
}

void Control::beginEdit() {
    if (editDepth_++ == 0 && listener_ != nullptr) listener_->editBegan(*this);
}

void Control::endEdit() {
    if (editDepth_ == 0) return;
    if (--editDepth_ == 0 && listener_ != nullptr) listener_->editEnded(*this);
}

}  // namespace lumivex::ui
