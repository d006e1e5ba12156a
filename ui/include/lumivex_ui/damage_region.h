// The parts of the frame waiting to be redrawn: a short list of rectangles.
// Overlapping or touching rectangles merge; past kMaxRects they collapse into their
// bounding box, so a burst of small changes costs one redraw.
#pragma once

#include <cstddef>
#include <vector>

#include "lumivex_ui/geometry.h"

namespace lumivex::ui {

class DamageRegion {
public:
    static constexpr size_t kMaxRects = 8;

    // Empty and non-finite rectangles are ignored.
    void add(const Rect& r);
    bool empty() const { return rects_.empty(); }
    const std::vector<Rect>& rects() const { return rects_; }
    Rect bounds() const;
    // Hands the rectangles over and leaves the region empty.
    std::vector<Rect> take();
    void clear() { rects_.clear(); }

private:
    std::vector<Rect> rects_;
};

}  // namespace lumivex::ui
