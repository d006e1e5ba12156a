// Conversion between straight RGBA bytes and cairo's ARGB32 pixel: one native-endian
// 32-bit word, alpha in the top byte, colour premultiplied by alpha.
//
// Rounding: to premultiplied, c' = round(c * a / 255) (never a tie, 255 is odd); back to
// straight, c = round(c' * 255 / a) with ties upwards, limited to 255, and alpha 0 reads
// as (0, 0, 0, 0). So:
//  - with alpha 255 every straight value survives the round trip exactly;
//  - with alpha a below 255 a straight value comes back within 255 / (2a) + 1/2 of itself (a
//    colour at alpha 6 may move by up to 21; the colour of a transparent pixel is lost);
//  - reading a pixel and writing it back unchanged never alters it.
#pragma once

#include <cstdint>

#include "lumivex_ui/colour.h"

namespace lumivex::ui {

constexpr uint32_t premultiply(Colour c) {
    const uint32_t a = c.alpha;
    const auto mul = [a](uint32_t v) { return (v * a + 127u) / 255u; };
    return (a << 24) | (mul(c.red) << 16) | (mul(c.green) << 8) | mul(c.blue);
}

constexpr Colour unpremultiply(uint32_t argb) {
    const uint32_t a = argb >> 24;
    if (a == 0) return kTransparent;
    const auto div = [a](uint32_t v) {
        const uint32_t c = (v * 255u + a / 2u) / a;
        return static_cast<uint8_t>(c > 255u ? 255u : c);
    };
    return {div((argb >> 16) & 0xffu), div((argb >> 8) & 0xffu), div(argb & 0xffu), static_cast<uint8_t>(a)};
}

}  // namespace lumivex::ui
