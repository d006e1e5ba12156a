// A colour as four bytes with straight (not premultiplied) alpha.
#pragma once

#include <cstdint>

namespace lumivex::ui {

struct Colour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;

    friend bool operator==(const Colour&, const Colour&) = default;
};

inline constexpr Colour kTransparent{0, 0, 0, 0};

}  // namespace lumivex::ui
