// PNG bytes to a panel bitmap.
#include "fxcoreedit/image_decode.h"

#include <limits>

namespace fxcoreplug {

using lumivex::ui::Bitmap;
using lumivex::ui::Colour;
using lumivex::ui::PixelAccess;

std::shared_ptr<Bitmap> decodeImage(const std::uint8_t* data, std::size_t size, double scale, bool invert) {
    if (size > std::numeric_limits<std::uint32_t>::max()) return nullptr;
    std::shared_ptr<Bitmap> bitmap = Bitmap::fromPng(data, size, scale);
    if (bitmap == nullptr || !invert) return bitmap;
    PixelAccess pixels(*bitmap);
    for (std::uint32_t y = 0; y < pixels.height(); ++y) {
        for (std::uint32_t x = 0; x < pixels.width(); ++x) {
            Colour c = pixels.get(x, y);
            if (c.alpha == 0) continue;
            c.red = static_cast<std::uint8_t>(255 - c.red);
            c.green = static_cast<std::uint8_t>(255 - c.green);
            c.blue = static_cast<std::uint8_t>(255 - c.blue);
            pixels.set(x, y, c);
        }
    }
    return bitmap;
}

}  // namespace fxcoreplug
