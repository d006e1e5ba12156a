// A knob of the panel: the toolkit knob drawing the rotation frame of its value.
#pragma once

#include <cstdint>

#include "fxcoreedit/rotation_frames.h"
#include "lumivex_ui/knob.h"

namespace fxcoreplug {

class RotaryKnob : public lumivex::ui::Knob {
public:
    // Transparent; takes the frames over (a knob without frames draws nothing but
    // still works as a control).
    RotaryKnob(const lumivex::ui::Rect& rect, lumivex::ui::ControlListener* listener, int32_t tag,
               FrameList frames);
    // Shares the frames.
    RotaryKnob(const RotaryKnob& other) = default;
    std::unique_ptr<lumivex::ui::View> clone() const override;

    const FrameList& frames() const { return frames_; }
    // The frame the value selects: lroundf(normalized x (n - 1)) within 0 .. n - 1;
    // -1 without frames.
    int frameIndex() const;

    // The selected frame at its own size, centred in the view.
    void draw(lumivex::ui::Canvas& canvas) override;

private:
    FrameList frames_;
};

}  // namespace fxcoreplug
