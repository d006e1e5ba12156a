// Drawing a knob from its rotation frames.
#include "fxcoreedit/rotary_knob.h"

#include <cmath>
#include <utility>

namespace fxcoreplug {

using lumivex::ui::Rect;

RotaryKnob::RotaryKnob(const Rect& rect, lumivex::ui::ControlListener* listener, int32_t tag, FrameList frames)
    : Knob(rect, listener, tag), frames_(std::move(frames)) {
    setTransparent(true);
}

std::unique_ptr<lumivex::ui::View> RotaryKnob::clone() const { return std::make_unique<RotaryKnob>(*this); }

int RotaryKnob::frameIndex() const {
    if (frames_.empty()) return -1;
    const auto last = static_cast<long>(frames_.size() - 1);
    const long i = std::lroundf(normalized() * static_cast<float>(last));
    return static_cast<int>(i < 0 ? 0 : (i > last ? last : i));
}

void RotaryKnob::draw(lumivex::ui::Canvas& canvas) {
    const int i = frameIndex();
    if (i >= 0 && frames_[static_cast<size_t>(i)] != nullptr) {
        const lumivex::ui::Bitmap& frame = *frames_[static_cast<size_t>(i)];
        const Rect& r = rect();
        const double bw = frame.width();
        const double bh = frame.height();
        const Rect dest = Rect::fromSize(r.left + (r.width() - bw) * 0.5, r.top + (r.height() - bh) * 0.5, bw, bh);
        canvas.drawBitmap(frame, dest, {0.0, 0.0}, 1.0);
    }
    setDirty(false);
}

}  // namespace fxcoreplug
