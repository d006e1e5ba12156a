// Bitmap creation, PNG decoding and encoding, and pixel access.
#include "lumivex_ui/bitmap.h"

#include <cmath>
#include <fstream>

namespace lumivex::ui {

namespace {

constexpr int kMaxSide = 32767;  // cairo's limit for image surfaces

bool validScale(double scale) { return std::isfinite(scale) && scale > 0.0; }

struct ByteReader {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
};

cairo_status_t readBytes(void* closure, unsigned char* out, unsigned int length) {
    auto* r = static_cast<ByteReader*>(closure);
    if (length > r->size - r->pos) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, r->data + r->pos, length);
    r->pos += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(closure);
    try {
        out->insert(out->end(), data, data + length);
    } catch (...) {
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

// Any decoded surface as ARGB32 (cairo gives RGB24 for images without alpha, whose
// top byte is undefined). Takes over the given surface; null on failure.
cairo_surface_t* asArgb32(cairo_surface_t* decoded) {
    if (cairo_surface_status(decoded) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(decoded);
        return nullptr;
    }
    if (cairo_image_surface_get_format(decoded) == CAIRO_FORMAT_ARGB32) return decoded;
    const int w = cairo_image_surface_get_width(decoded);
    const int h = cairo_image_surface_get_height(decoded);
    cairo_surface_t* argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(argb) == CAIRO_STATUS_SUCCESS) {
        cairo_t* cr = cairo_create(argb);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, decoded, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(argb);
    } else {
        cairo_surface_destroy(argb);
        argb = nullptr;
    }
    cairo_surface_destroy(decoded);
    return argb;
}

}  // namespace

Bitmap::Bitmap(cairo_surface_t* argbSurface, double scale)
    : surface_(argbSurface),
      width_(static_cast<uint32_t>(cairo_image_surface_get_width(argbSurface))),
      height_(static_cast<uint32_t>(cairo_image_surface_get_height(argbSurface))),
      scale_(scale) {}

Bitmap::~Bitmap() { cairo_surface_destroy(surface_); }

std::shared_ptr<Bitmap> Bitmap::fromPng(const uint8_t* data, size_t size, double scale) {
    if (data == nullptr || size == 0 || !validScale(scale)) return nullptr;
    ByteReader reader{data, size};
    cairo_surface_t* surface = asArgb32(cairo_image_surface_create_from_png_stream(readBytes, &reader));
    if (surface == nullptr) return nullptr;
    if (cairo_image_surface_get_width(surface) <= 0 || cairo_image_surface_get_height(surface) <= 0) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return std::shared_ptr<Bitmap>(new Bitmap(surface, scale));
}

std::shared_ptr<Bitmap> Bitmap::blank(uint32_t width, uint32_t height, double scale) {
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide || !validScale(scale)) return nullptr;
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width), static_cast<int>(height));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return std::shared_ptr<Bitmap>(new Bitmap(surface, scale));
}

bool Bitmap::setScaleFactor(double scale) {
    if (!validScale(scale)) return false;
    scale_ = scale;
    return true;
}

std::vector<Colour> Bitmap::pixels() const {
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const auto stride = static_cast<size_t>(cairo_image_surface_get_stride(surface_));
    std::vector<Colour> out;
    if (data == nullptr) return out;
    out.reserve(static_cast<size_t>(width_) * height_);
    for (uint32_t y = 0; y < height_; ++y) {
        const unsigned char* row = data + y * stride;
        for (uint32_t x = 0; x < width_; ++x) {
            uint32_t word;
            std::memcpy(&word, row + x * 4u, sizeof word);
            out.push_back(unpremultiply(word));
        }
    }
    return out;
}

std::vector<uint8_t> Bitmap::encodePng() const {
    std::vector<uint8_t> out;
    if (cairo_surface_write_to_png_stream(surface_, appendBytes, &out) != CAIRO_STATUS_SUCCESS) out.clear();
    return out;
}

bool Bitmap::savePng(const std::string& path) const {
    const std::vector<uint8_t> png = encodePng();
    if (png.empty()) return false;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(file);
}

PixelAccess::PixelAccess(Bitmap& bitmap)
    : surface_(bitmap.surface_),
      data_(nullptr),
      stride_(0),
      width_(bitmap.width_),
      height_(bitmap.height_) {
    cairo_surface_flush(surface_);
    data_ = cairo_image_surface_get_data(surface_);
    stride_ = static_cast<size_t>(cairo_image_surface_get_stride(surface_));
    if (data_ == nullptr) width_ = height_ = 0;
}

PixelAccess::~PixelAccess() { cairo_surface_mark_dirty(surface_); }

}  // namespace lumivex::ui
