// A view with a value, a tag and a listener told of edits.
#pragma once

#include <cstdint>

#include "lumivex_ui/view.h"

namespace lumivex::ui {

class Control;

// Told by a control of what the user does to it: editBegan, then any number of
// valueChanged, then editEnded. Programmatic value changes tell nobody.
class ControlListener {
public:
    virtual ~ControlListener() = default;
    virtual void valueChanged(Control& control) = 0;
    virtual void editBegan(Control&) {}
    virtual void editEnded(Control&) {}
};

class Control : public View {
public:
    Control(const Rect& rect, ControlListener* listener = nullptr, int32_t tag = -1);
    // Same listener, tag, range and value; not editing.
    Control(const Control& other);
    std::unique_ptr<View> clone() const override;

    int32_t tag() const { return tag_; }
    void setTag(int32_t tag) { tag_ = tag; }
    ControlListener* listener() const { return listener_; }
    void setListener(ControlListener* listener) { listener_ = listener; }

    float value() const { return value_; }
    // Limited to min .. max; not a number gives min.
    void setValue(float value);
    float min() const { return min_; }
    float max() const { return max_; }
    // Refused (false) unless both are finite and max > min; the value is limited to
    // the new range.
    bool setRange(float min, float max);

    // The value mapped onto 0 .. 1.
    float normalized() const { return (value_ - min_) / (max_ - min_); }
    void setNormalized(float normalized);

    // Tells the listener the value changed.
    void notifyValueChanged();
    // Edits nest; the listener hears only the outermost begin and end. An end
    // without a begin is refused.
    void beginEdit();
    void endEdit();
    bool editing() const { return editDepth_ > 0; }

private:
    ControlListener* listener_;
    int32_t tag_;
    float value_ = 0.0f;
    float min_ = 0.0f;
    float max_ = 1.0f;
    int editDepth_ = 0;
};

}  // namespace lumivex::ui
