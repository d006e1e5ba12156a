// A lever switch of the panel with two or three positions: 0 the lever up, 1 the
// middle (or down, with two positions), 2 down. A left click on the band of the
// view that stands for another position moves the lever there (bands from the top:
// position 0 first).
#pragma once

#include <cstdint>
#include <memory>

#include "lumivex_ui/bitmap.h"
#include "lumivex_ui/control.h"

namespace fxcoreplug {

class ToggleView : public lumivex::ui::Control {
public:
    // Any bitmap may be null (that position then shows nothing). A requested count of
    // 2 or less gives 2 positions, starting up; more gives 3, starting in the middle.
    // Transparent; the value is the position, range 0 .. positions - 1.
    ToggleView(const lumivex::ui::Rect& rect, lumivex::ui::ControlListener* listener, int32_t tag,
               std::shared_ptr<lumivex::ui::Bitmap> up, std::shared_ptr<lumivex::ui::Bitmap> middle,
               std::shared_ptr<lumivex::ui::Bitmap> down, int requestedPositions);
    // Shares the bitmaps.
    ToggleView(const ToggleView& other) = default;
    std::unique_ptr<lumivex::ui::View> clone() const override;

    int positions() const { return positions_; }
    int position() const;
    // Moves the lever (limited to the positions) and redraws; tells nobody.
    void setPosition(int position);

    // The position's bitmap at its own size, centred in the view.
    void draw(lumivex::ui::Canvas& canvas) override;
    // Left button alone only; a click on another band is one complete edit.
    lumivex::ui::MouseResult onMouseDown(lumivex::ui::Point where, lumivex::ui::MouseButtons buttons) override;

private:
    std::shared_ptr<lumivex::ui::Bitmap> up_;
    std::shared_ptr<lumivex::ui::Bitmap> middle_;
    std::shared_ptr<lumivex::ui::Bitmap> down_;
    int positions_;
};

}  // namespace fxcoreplug
