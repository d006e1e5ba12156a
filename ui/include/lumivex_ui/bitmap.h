// A picture held in a cairo image surface (ARGB32) with a scale factor: the number
// of pixels per point, so a bitmap of 78 x 78 pixels at scale 2 measures 39 x 39
// points and is drawn at that size. Bitmaps are shared through std::shared_ptr.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "lumivex_ui/colour.h"
#include "lumivex_ui/pixel_format.h"

namespace lumivex::ui {

class Bitmap {
public:
    // Decodes a PNG file held in memory. Null for null or empty data, bytes cairo
    // cannot decode, or a scale that is not a positive number. Every PNG colour type
    // comes out as ARGB32; an image without alpha is opaque.
    static std::shared_ptr<Bitmap> fromPng(const uint8_t* data, size_t size, double scale = 1.0);
    // A fully transparent bitmap of width x height pixels. Null for a zero side, a
    // side beyond 32767 or a bad scale.
    static std::shared_ptr<Bitmap> blank(uint32_t width, uint32_t height, double scale = 1.0);

    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    uint32_t pixelWidth() const { return width_; }
    uint32_t pixelHeight() const { return height_; }
    double scaleFactor() const { return scale_; }
    // Refuses (returns false, keeps the old factor) a factor that is not a positive number.
    bool setScaleFactor(double scale);
    // Size in points: pixels divided by the scale factor.
    double width() const { return width_ / scale_; }
    double height() const { return height_ / scale_; }

    // Every pixel with straight alpha, row by row from the top, each row left to right.
    std::vector<Colour> pixels() const;

    // The PNG encoding of the pixels; empty when cairo fails.
    std::vector<uint8_t> encodePng() const;
    bool savePng(const std::string& path) const;

    // For drawing; the surface stays owned by the bitmap.
    cairo_surface_t* surface() const { return surface_; }

private:
    friend class PixelAccess;
    explicit Bitmap(cairo_surface_t* argbSurface, double scale);

    cairo_surface_t* surface_;
    uint32_t width_;
    uint32_t height_;
    double scale_;
};

// Straight-alpha access to a bitmap's pixels (see pixel_format.h for the rounding).
// Reads and writes go straight to the surface; the accessor tells cairo of the
// change when it goes away. Coordinates outside the bitmap read (0, 0, 0, 0) and
// their writes are ignored.
class PixelAccess {
public:
    explicit PixelAccess(Bitmap& bitmap);
    ~PixelAccess();
    PixelAccess(const PixelAccess&) = delete;
    PixelAccess& operator=(const PixelAccess&) = delete;

    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }

    Colour get(uint32_t x, uint32_t y) const {
        if (!inside(x, y)) return kTransparent;
        uint32_t word;
        std::memcpy(&word, at(x, y), sizeof word);
        return unpremultiply(word);
    }
    void set(uint32_t x, uint32_t y, Colour c) {
        if (!inside(x, y)) return;
        const uint32_t word = premultiply(c);
        std::memcpy(at(x, y), &word, sizeof word);
    }

private:
    bool inside(uint32_t x, uint32_t y) const { return x < width_ && y < height_; }
    unsigned char* at(uint32_t x, uint32_t y) const { return data_ + static_cast<size_t>(y) * stride_ + x * 4u; }

    cairo_surface_t* surface_;
    unsigned char* data_;
    size_t stride_;
    uint32_t width_;
    uint32_t height_;
};

}  // namespace lumivex::ui
