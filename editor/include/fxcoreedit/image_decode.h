// Turning the bytes of a compiled-in PNG into a bitmap the panel can draw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "lumivex_ui/bitmap.h"

namespace fxcoreplug {

// Decodes the PNG, gives it the scale factor (so 78 x 78 pixels at 2.0 measure 39 x 39
// points) and, when invert is set, replaces red, green and blue by 255 minus their
// value in every pixel whose alpha is not 0 (straight alpha; alpha unchanged).
// Null for bytes that do not decode, more than 4 GiB of them, or a scale that is not
// a positive number.
std::shared_ptr<lumivex::ui::Bitmap> decodeImage(const std::uint8_t* data, std::size_t size, double scale,
                                                 bool invert);

}  // namespace fxcoreplug
