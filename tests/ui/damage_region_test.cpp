// Damage merging.
#include <gtest/gtest.h>

#include <cmath>

#include "lumivex_ui/damage_region.h"

namespace lumivex::ui {
namespace {

TEST(DamageRegion, OverlappingAndTouchingRectanglesMergeSeparateOnesStay) {
    DamageRegion d;
    d.add(Rect::fromSize(0, 0, 10, 10));
    d.add(Rect::fromSize(100, 100, 5, 5));
    d.add(Rect::fromSize(10, 0, 10, 10));  // touches the first
    ASSERT_EQ(d.rects().size(), 2u);
    EXPECT_EQ(d.rects()[0], (Rect{100, 100, 105, 105}));
    EXPECT_EQ(d.rects()[1], (Rect{0, 0, 20, 10}));
    // A rectangle bridging both pulls everything into one.
    d.add(Rect{15, 5, 101, 101});
    ASSERT_EQ(d.rects().size(), 1u);
    EXPECT_EQ(d.bounds(), (Rect{0, 0, 105, 105}));
}

TEST(DamageRegion, ManySmallChangesCollapseIntoTheirBounds) {
    DamageRegion d;
    for (int i = 0; i <= static_cast<int>(DamageRegion::kMaxRects); ++i) d.add(Rect::fromSize(i * 10, 0, 5, 5));
    ASSERT_EQ(d.rects().size(), 1u);
    EXPECT_EQ(d.rects()[0], (Rect{0, 0, 85, 5}));
}

TEST(DamageRegion, EmptyAndNonFiniteRectanglesAreIgnoredAndTakeEmpties) {
    DamageRegion d;
    d.add(Rect{5, 5, 5, 9});
    d.add(Rect{0, 0, std::nan(""), 4});
    d.add(Rect{0, 0, INFINITY, 4});
    EXPECT_TRUE(d.empty());
    d.add(Rect::fromSize(1, 1, 1, 1));
    EXPECT_EQ(d.take().size(), 1u);
    EXPECT_TRUE(d.empty());
}

}  // namespace
}  // namespace lumivex::ui
