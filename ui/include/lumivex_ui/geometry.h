// Points and rectangles in points (the frame's unzoomed units), y growing downwards.
#pragma once

#include <algorithm>

namespace lumivex::ui {

struct Point {
    double x = 0.0;
    double y = 0.0;

    friend bool operator==(const Point&, const Point&) = default;
};

// Half-open on the right and bottom: a point on the right or bottom edge is outside.
struct Rect {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;

    static constexpr Rect fromSize(double x, double y, double w, double h) { return {x, y, x + w, y + h}; }

    constexpr double width() const { return right - left; }
    constexpr double height() const { return bottom - top; }
    constexpr bool isEmpty() const { return !(right > left && bottom > top); }
    constexpr Point topLeft() const { return {left, top}; }

    constexpr bool contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    constexpr bool intersects(const Rect& o) const {
        return !isEmpty() && !o.isEmpty() && o.left < right && left < o.right && o.top < bottom && top < o.bottom;
    }
    constexpr Rect intersection(const Rect& o) const {
        Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
        return r.isEmpty() ? Rect{} : r;
    }
    // The smallest rectangle holding both; an empty side is ignored.
    constexpr Rect united(const Rect& o) const {
        if (o.isEmpty()) return *this;
        if (isEmpty()) return o;
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
    }
    constexpr Rect offset(double dx, double dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    // Grows every side by d (shrinks for negative d).
    constexpr Rect grown(double d) const { return {left - d, top - d, right + d, bottom + d}; }

    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace lumivex::ui
