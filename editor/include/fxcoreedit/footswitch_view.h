// A footswitch of the panel: momentary (1 while the left button is held, one edit
// from press to release) or latching (each left press flips it between 0 and 1 in
// an edit of its own). It looks the same pressed and released.
#pragma once

#include <cstdint>
#include <memory>

#include "lumivex_ui/bitmap.h"
#include "lumivex_ui/control.h"

namespace fxcoreplug {

class FootswitchView : public lumivex::ui::Control {
public:
    // The bitmap may be null (the switch then draws nothing). Transparent; value 0.
    FootswitchView(const lumivex::ui::Rect& rect, lumivex::ui::ControlListener* listener, int32_t tag,
                   std::shared_ptr<lumivex::ui::Bitmap> bitmap, bool momentary);
    // Shares the bitmap.
    FootswitchView(const FootswitchView& other) = default;
    std::unique_ptr<lumivex::ui::View> clone() const override;

    bool momentary() const { return momentary_; }
    const std::shared_ptr<lumivex::ui::Bitmap>& bitmap() const { return bitmap_; }

    // The bitmap at its own size from the view's top-left corner, clipped to the view.
    void draw(lumivex::ui::Canvas& canvas) override;
    lumivex::ui::MouseResult onMouseDown(lumivex::ui::Point where, lumivex::ui::MouseButtons buttons) override;
    lumivex::ui::MouseResult onMouseUp(lumivex::ui::Point where, lumivex::ui::MouseButtons buttons) override;
    // A momentary switch whose press will get no release is released now.
    void onMouseCancel() override;

private:
    void release();

    std::shared_ptr<lumivex::ui::Bitmap> bitmap_;
    bool momentary_;
};

}  // namespace fxcoreplug
