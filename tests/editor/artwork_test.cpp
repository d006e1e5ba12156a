// What the panel needs from the artwork beyond names and sizes: knobs that can be
// turned (round, clear of every edge, pointer at 12 o'clock), faces and hardware with
// transparent corners, and "@2x" twins that show the same picture as the plain image.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fxcoreedit/image_table.h"

namespace fxcoreplug {
namespace {

// A decoded image: straight-alpha RGBA bytes, row by row.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    const std::uint8_t* at(int x, int y) const {
        return &rgba[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4];
    }
    int alpha(int x, int y) const { return at(x, y)[3]; }
    double luminance(int x, int y) const {
        const std::uint8_t* p = at(x, y);
        return 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2];
    }
};

struct Reader {
    const unsigned char* data;
    std::uint64_t size;
    std::uint64_t offset;
};

cairo_status_t readChunk(void* closure, unsigned char* out, unsigned int length) {
    auto* reader = static_cast<Reader*>(closure);
    if (reader->size - reader->offset < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data + reader->offset, length);
    reader->offset += length;
    return CAIRO_STATUS_SUCCESS;
}

Pixels decode(const char* name) {
    Pixels pixels;
    const EmbeddedImage* image = findImage(name);
    if (image == nullptr) return pixels;
    Reader reader{image->data, image->size, 0};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(readChunk, &reader);
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS &&
        cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32) {
        cairo_surface_flush(surface);
        pixels.width = cairo_image_surface_get_width(surface);
        pixels.height = cairo_image_surface_get_height(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const unsigned char* base = cairo_image_surface_get_data(surface);
        pixels.rgba.resize(static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height) * 4);
        for (int y = 0; y < pixels.height; ++y) {
            for (int x = 0; x < pixels.width; ++x) {
                std::uint32_t argb = 0;
                std::memcpy(&argb, base + static_cast<ptrdiff_t>(y) * stride + x * 4, 4);
                const std::uint32_t a = argb >> 24;
                std::uint8_t* out = &pixels.rgba[(static_cast<size_t>(y) * static_cast<size_t>(pixels.width) +
                                                  static_cast<size_t>(x)) * 4];
                for (int c = 0; c < 3; ++c) {
                    const std::uint32_t premultiplied = (argb >> (16 - 8 * c)) & 0xffu;
                    out[c] = static_cast<std::uint8_t>(a == 0 ? 0 : std::min(255u, (premultiplied * 255 + a / 2) / a));
                }
                out[3] = static_cast<std::uint8_t>(a);
            }
        }
    }
    cairo_surface_destroy(surface);
    return pixels;
}

const char* const kKnobs[] = {"fluted-large", "knob-blk-large", "knob-wht-large", "lg-knob-blu", "lg-knob-org",
                              "lg-knob-yel",  "wh-knob-large",  "brutal-large",   "small-knob"};
const char* const kFaces[] = {"KV-LUMIPANEL", "kv-tressikjr", "kv-ombrel2", "kv-farwhen", "mz-vestrand-classic",
                              "mz-pellory-classic"};
const char* const kHardware[] = {"left-footswitch", "right-footswitch", "toggle-up", "toggle-mid", "toggle-down"};

std::vector<std::string> withTwins(const std::vector<const char*>& names) {
    std::vector<std::string> all;
    for (const char* name : names) {
        all.emplace_back(name);
        all.push_back(std::string(name) + "@2x");
    }
    return all;
}

TEST(Artwork, KnobsAreOpaqueDiscsClearOfEveryEdge) {
    for (const std::string& name : withTwins({std::begin(kKnobs), std::end(kKnobs)})) {
        SCOPED_TRACE(name);
        const Pixels p = decode(name.c_str());
        ASSERT_GT(p.width, 0);
        // Turned frames drop the source's last row and column and everything that turns
        // out of the square: only the inscribed circle may hold paint.
        const double cx = p.width * 0.5;
        const double cy = p.height * 0.5;
        const double inscribed = std::min(p.width, p.height) * 0.5;
        int stray = 0;
        for (int y = 0; y < p.height; ++y) {
            for (int x = 0; x < p.width; ++x) {
                const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
                const bool edge = x == 0 || y == 0 || x == p.width - 1 || y == p.height - 1;
                if ((edge || d > inscribed) && p.alpha(x, y) != 0) ++stray;
            }
        }
        EXPECT_EQ(stray, 0);
        // Solid within, so the frames never show the face through the knob.
        const int solidRadius = static_cast<int>(inscribed * 0.8);
        for (int dy = -solidRadius; dy <= solidRadius; dy += 2) {
            for (int dx = -solidRadius; dx <= solidRadius; dx += 2) {
                if (dx * dx + dy * dy > solidRadius * solidRadius) continue;
                ASSERT_EQ(p.alpha(static_cast<int>(cx) + dx, static_cast<int>(cy) + dy), 255)
                    << "at offset " << dx << "," << dy;
            }
        }
    }
}

TEST(Artwork, KnobPointersStandAtTwelveOClock) {
    for (const std::string& name : withTwins({std::begin(kKnobs), std::end(kKnobs)})) {
        SCOPED_TRACE(name);
        const Pixels p = decode(name.c_str());
        ASSERT_GT(p.width, 0);
        // Round a circle near the rim, the pointer is the one place that stands out
        // from the rest of the ring.
        const double cx = p.width * 0.5;
        const double cy = p.height * 0.5;
        const double radius = (std::min(p.width, p.height) * 0.5) * 0.88;
        std::vector<double> ring;
        for (int deg = 0; deg < 360; ++deg) {
            const double a = deg * 3.141592653589793 / 180.0;
            ring.push_back(p.luminance(static_cast<int>(cx + radius * std::sin(a)),
                                       static_cast<int>(cy - radius * std::cos(a))));
        }
        std::vector<double> sorted = ring;
        std::nth_element(sorted.begin(), sorted.begin() + 180, sorted.end());
        const double median = sorted[180];
        int strongest = 0;
        for (int deg = 1; deg < 360; ++deg) {
            if (std::fabs(ring[static_cast<size_t>(deg)] - median) >
                std::fabs(ring[static_cast<size_t>(strongest)] - median)) {
                strongest = deg;
            }
        }
        const int offset = std::min(strongest, 360 - strongest);
        EXPECT_LE(offset, 4) << "pointer found at " << strongest << " degrees";
        EXPECT_GT(std::fabs(ring[0] - median), 60.0) << "pointer contrast";
    }
}

TEST(Artwork, FacesAndHardwareHaveTransparentCornersAndSolidMiddles) {
    std::vector<const char*> names(std::begin(kFaces), std::end(kFaces));
    names.insert(names.end(), std::begin(kHardware), std::end(kHardware));
    for (const std::string& name : withTwins(names)) {
        SCOPED_TRACE(name);
        const Pixels p = decode(name.c_str());
        ASSERT_GT(p.width, 0);
        EXPECT_EQ(p.alpha(0, 0), 0);
        EXPECT_EQ(p.alpha(p.width - 1, 0), 0);
        EXPECT_EQ(p.alpha(0, p.height - 1), 0);
        EXPECT_EQ(p.alpha(p.width - 1, p.height - 1), 0);
        EXPECT_EQ(p.alpha(p.width / 2, p.height / 2), 255);
    }
}

TEST(Artwork, FacesAreOpaqueInsideTheEnclosure) {
    for (const std::string& name : withTwins({std::begin(kFaces), std::end(kFaces)})) {
        SCOPED_TRACE(name);
        const Pixels p = decode(name.c_str());
        ASSERT_GT(p.width, 0);
        // Everything but the rounded corners is paint: the window shows no holes.
        const int corner = p.width / 10;
        for (int y = corner; y < p.height - corner; y += 3) {
            ASSERT_EQ(p.alpha(1, y), 255) << "left edge, row " << y;
            ASSERT_EQ(p.alpha(p.width - 2, y), 255) << "right edge, row " << y;
        }
        for (int x = corner; x < p.width - corner; x += 3) {
            ASSERT_EQ(p.alpha(x, 1), 255) << "top edge, column " << x;
            ASSERT_EQ(p.alpha(x, p.height - 2), 255) << "bottom edge, column " << x;
        }
    }
}

// Mean colour (weighted by coverage) and coverage of each of 4 x 4 blocks.
struct Thumbnail {
    std::vector<double> values;
};

Thumbnail thumbnail(const Pixels& p) {
    const int cells = 4;
    Thumbnail t;
    for (int cy = 0; cy < cells; ++cy) {
        for (int cx = 0; cx < cells; ++cx) {
            double sums[4] = {0, 0, 0, 0};
            double weight = 0;
            const int x0 = p.width * cx / cells;
            const int x1 = p.width * (cx + 1) / cells;
            const int y0 = p.height * cy / cells;
            const int y1 = p.height * (cy + 1) / cells;
            for (int y = y0; y < y1; ++y) {
                for (int x = x0; x < x1; ++x) {
                    const std::uint8_t* px = p.at(x, y);
                    const double a = px[3] / 255.0;
                    for (int c = 0; c < 3; ++c) sums[c] += px[c] * a;
                    sums[3] += px[3];
                    weight += 1;
                }
            }
            for (double& s : sums) s /= weight;
            t.values.insert(t.values.end(), std::begin(sums), std::end(sums));
        }
    }
    return t;
}

TEST(Artwork, TwinsShowTheSamePictureAsThePlainImages) {
    std::vector<const char*> names(std::begin(kFaces), std::end(kFaces));
    names.insert(names.end(), std::begin(kKnobs), std::end(kKnobs));
    names.insert(names.end(), std::begin(kHardware), std::end(kHardware));
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const Pixels plain = decode(name);
        const Pixels twin = decode((std::string(name) + "@2x").c_str());
        ASSERT_GT(plain.width, 0);
        ASSERT_GT(twin.width, 0);
        const Thumbnail a = thumbnail(plain);
        const Thumbnail b = thumbnail(twin);
        double worst = 0;
        for (size_t i = 0; i < a.values.size(); ++i) worst = std::max(worst, std::fabs(a.values[i] - b.values[i]));
        EXPECT_LT(worst, 12.0) << "block means differ by up to " << worst;
    }
}

}  // namespace
}  // namespace fxcoreplug
