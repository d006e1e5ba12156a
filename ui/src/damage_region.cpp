// Merging damaged rectangles.
#include "lumivex_ui/damage_region.h"

#include <cmath>
#include <utility>

namespace lumivex::ui {

namespace {

bool touches(const Rect& a, const Rect& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

}  // namespace

void DamageRegion::add(const Rect& r) {
    if (!std::isfinite(r.left) || !std::isfinite(r.top) || !std::isfinite(r.right) || !std::isfinite(r.bottom) ||
        r.isEmpty()) {
        return;
    }
    Rect merged = r;
    // Absorb every rectangle the growing one touches until none is left to absorb.
    for (bool grew = true; grew;) {
        grew = false;
        for (size_t i = 0; i < rects_.size();) {
            if (touches(rects_[i], merged)) {
                merged = merged.united(rects_[i]);
                rects_.erase(rects_.begin() + static_cast<std::ptrdiff_t>(i));
                grew = true;
            } else {
                ++i;
            }
        }
    }
    rects_.push_back(merged);
    if (rects_.size() > kMaxRects) {
        const Rect all = bounds();
        rects_.assign(1, all);
    }
}

Rect DamageRegion::bounds() const {
    Rect all;
    for (const Rect& r : rects_) all = all.united(r);
    return all;
}

std::vector<Rect> DamageRegion::take() { return std::exchange(rects_, {}); }

}  // namespace lumivex::ui
