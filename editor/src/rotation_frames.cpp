// Knob rotation frames: inverse-rotate every output pixel into the source and
// interpolate the four pixels around it, colours weighted by their alpha.
//
// The panel makes 128 frames of each knob while it opens, so everything that does
// not depend on the angle is prepared once for the whole series: the source as a
// table of alpha and colour-times-alpha values, which blocks of four source pixels
// are all clear or all opaque, the pixel offsets from the centre, and for each row
// the span of pixels that can reach the knob's visible disc (the rest stay as the
// blank bitmap left them, transparent). Each pixel is then computed with the same
// floating-point operations in the same order as the plain formula, so the frames
// are identical to it bit for bit, and written straight into the bitmap's
// premultiplied buffer.
#include "fxcoreedit/rotation_frames.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "lumivex_ui/pixel_format.h"

namespace fxcoreplug {

using lumivex::ui::Bitmap;
using lumivex::ui::Colour;

namespace {

constexpr double kPi = 3.141592653589793;

// Two doubles that the compiler keeps in one vector register: the interpolation
// works on red and green together, and on blue and alpha together. Each lane
// sees exactly the operations a scalar double would.
using Pair = double __attribute__((vector_size(16)));

Pair lerp(Pair a, Pair b, Pair f) { return a + (b - a) * f; }

// A colour value limited to 0..255 and truncated towards zero. The value is a
// ratio of interpolated products to interpolated alpha above 0.5, so it always
// fits an int; truncating first and limiting the integer gives the same byte.
uint8_t channelByte(double v) { return static_cast<uint8_t>(std::clamp(static_cast<int32_t>(v), 0, 255)); }

// A source pixel ready for interpolation: each colour byte times its alpha, and
// the alpha, all exact integers.
struct Texel {
    Pair redGreen;
    Pair blueAlpha;
};

struct Geometry {
    uint32_t w, h;  // source pixels
    uint32_t W, H;  // frame pixels
    double kx, ky;  // source pixels per frame pixel
    double cx, cy;  // source centre
    double ox, oy;  // frame centre
};

// What the four source pixels from (x, y) to (x + 1, y + 1) hold: alpha 0 in all
// of them interpolates to 0, alpha 255 in all of them to exactly 255.
enum class Cover : uint8_t { Clear, Opaque, Mixed };

// The pixels of one series: the texels, and how far from the centre anything
// visible lies.
struct Source {
    std::vector<Texel> texels;
    std::vector<Cover> cover;  // by the index of the top left texel; none for the last row and column
    // Distance from the centre beyond which an output pixel's four neighbours are
    // all transparent: the farthest pixel with alpha above 0, plus the reach of
    // the interpolation (a diagonal, with room to spare for rounding). Negative
    // when the source has no visible pixel.
    double reach;
};

Cover coverOf(uint8_t a00, uint8_t a10, uint8_t a01, uint8_t a11) {
    if ((a00 | a10 | a01 | a11) == 0) return Cover::Clear;
    if ((a00 & a10 & a01 & a11) == 255) return Cover::Opaque;
    return Cover::Mixed;
}

Source prepare(const std::vector<Colour>& pixels, const Geometry& g) {
    Source s{std::vector<Texel>(pixels.size()), std::vector<Cover>(pixels.size(), Cover::Mixed), -1.0};
    double farthest2 = -1.0;
    for (uint32_t y = 0; y < g.h; ++y) {
        for (uint32_t x = 0; x < g.w; ++x) {
            const size_t i = static_cast<size_t>(y) * g.w + x;
            const Colour& c = pixels[i];
            s.texels[i] = {Pair{static_cast<double>(int(c.red) * c.alpha), static_cast<double>(int(c.green) * c.alpha)},
                           Pair{static_cast<double>(int(c.blue) * c.alpha), static_cast<double>(c.alpha)}};
            if (x + 1 < g.w && y + 1 < g.h) {
                s.cover[i] = coverOf(c.alpha, pixels[i + 1].alpha, pixels[i + g.w].alpha, pixels[i + g.w + 1].alpha);
            }
            if (c.alpha == 0) continue;
            const double dx = x - g.cx;
            const double dy = y - g.cy;
            farthest2 = std::max(farthest2, dx * dx + dy * dy);
        }
    }
    if (farthest2 >= 0.0) s.reach = std::sqrt(farthest2) + 1.5;
    return s;
}

// Whether (u, v) has all four neighbours inside the source: floor(u) >= 0 and
// floor(u) + 1 < w, written on u itself, and the same for v; NaN fails too.
bool inside(const Geometry& g, double u, double v) { return u >= 0.0 && v >= 0.0 && u < g.w - 1.0 && v < g.h - 1.0; }

// The output pixel whose inverse rotation lands on (u, v), premultiplied; (u, v)
// is inside.
uint32_t sample(const Source& src, const Geometry& g, double u, double v) {
    const auto x0 = static_cast<uint32_t>(u);  // floor, u not being negative
    const auto y0 = static_cast<uint32_t>(v);
    const size_t i = static_cast<size_t>(y0) * g.w + x0;
    const Cover cover = src.cover[i];
    if (cover == Cover::Clear) return 0;
    const double fx = u - x0;
    const double fy = v - y0;
    const Texel* p = &src.texels[i];
    const Texel& p00 = p[0];
    const Texel& p10 = p[1];
    const Texel& p01 = p[g.w];
    const Texel& p11 = p[g.w + 1];

    const Pair fx2{fx, fx};
    const Pair fy2{fy, fy};
    const Pair ba = lerp(lerp(p00.blueAlpha, p10.blueAlpha, fx2), lerp(p01.blueAlpha, p11.blueAlpha, fx2), fy2);
    const Pair rg = lerp(lerp(p00.redGreen, p10.redGreen, fx2), lerp(p01.redGreen, p11.redGreen, fx2), fy2);
    if (cover == Cover::Opaque) {
        // Alpha is exactly 255, and premultiplying by 255 keeps every byte. No
        // limits either: the lerps of products in 0..65025 stay within a rounding
        // error of that range, so each quotient by 255 truncates into 0..255.
        const Pair all{255.0, 255.0};
        const Pair redGreen = rg / all;
        const Pair blue = ba / all;
        return 0xff000000u | static_cast<uint32_t>(redGreen[0]) << 16 | static_cast<uint32_t>(redGreen[1]) << 8 |
               static_cast<uint32_t>(blue[0]);
    }
    const double a = ba[1];
    if (!(a > 0.5)) return 0;
    const Pair alphas{a, a};
    const Pair redGreen = rg / alphas;
    const Pair blue = ba / alphas;  // the alpha lane's 1 goes unused
    return lumivex::ui::premultiply({channelByte(redGreen[0]), channelByte(redGreen[1]), channelByte(blue[0]),
                                     static_cast<uint8_t>(std::min(a, 255.0))});
}

// Fills one frame turned by `radians`; dx holds each column's offset from the
// frame centre in source pixels.
void turn(const Source& src, const Geometry& g, const std::vector<double>& dx, double radians, unsigned char* data,
          size_t stride) {
    const double sn = std::sin(radians);
    const double cs = std::cos(radians);
    // The column terms of u and v, as the formula has them.
    std::vector<double> uCol(g.W), vCol(g.W);
    for (uint32_t x = 0; x < g.W; ++x) {
        uCol[x] = cs * dx[x];
        vCol[x] = -sn * dx[x];
    }
    for (uint32_t y = 0; y < g.H; ++y) {
        const double dy = (y - g.oy) * g.ky;
        // Rotation keeps distances from the centre, so the row's visible span is
        // the same in every frame: where dx^2 + dy^2 stays within reach.
        const double room = src.reach * src.reach - dy * dy;
        if (src.reach < 0.0 || room < 0.0) continue;
        const double half = std::sqrt(room) / g.kx;
        auto first = static_cast<int64_t>(std::max(std::ceil(g.ox - half) - 1.0, 0.0));
        auto last = static_cast<int64_t>(std::min(std::floor(g.ox + half) + 1.0, g.W - 1.0));
        const double uRow = sn * dy;
        const double vRow = cs * dy;
        const auto u = [&](int64_t x) { return uCol[static_cast<size_t>(x)] + uRow + g.cx; };
        const auto v = [&](int64_t x) { return vCol[static_cast<size_t>(x)] + vRow + g.cy; };
        // Every step of u and v is monotonic in x, so the pixels whose neighbours
        // lie inside the source form one run: trim the span's ends to it.
        while (first <= last && !inside(g, u(first), v(first))) ++first;
        while (last >= first && !inside(g, u(last), v(last))) --last;
        unsigned char* row = data + y * stride;
        for (int64_t x = first; x <= last; ++x) {
            const uint32_t word = sample(src, g, u(x), v(x));
            std::memcpy(row + x * 4, &word, sizeof word);
        }
    }
}

}  // namespace

FrameList makeRotationFrames(const Bitmap* source, int frameCount, double angleOffset, double halfSweep,
                             double targetSize) {
    FrameList result;
    if (source == nullptr || frameCount <= 0) return result;
    Geometry g{};
    g.w = source->pixelWidth();
    g.h = source->pixelHeight();
    if (g.w == 0 || g.h == 0) return result;
    const std::vector<Colour> pixels = source->pixels();
    if (pixels.size() < static_cast<size_t>(g.w) * g.h) return result;
    const double s = source->scaleFactor();

    if (targetSize > 0.0) {
        const double r = targetSize / (std::max(g.w, g.h) / s);
        const double fw = g.w * r;
        const double fh = g.h * r;
        if (!(fw < 32767.5) || !(fh < 32767.5)) return result;  // no bitmap that size
        g.W = static_cast<uint32_t>(std::lround(fw));
        g.H = static_cast<uint32_t>(std::lround(fh));
    } else {
        g.W = g.w;
        g.H = g.h;
    }
    if (g.W == 0 || g.H == 0) return result;

    result.reserve(static_cast<size_t>(frameCount));
    g.kx = static_cast<double>(g.w) / g.W;
    g.ky = static_cast<double>(g.h) / g.H;
    g.cx = (g.w - 1.0) * 0.5;
    g.cy = (g.h - 1.0) * 0.5;
    g.ox = (g.W - 1.0) * 0.5;
    g.oy = (g.H - 1.0) * 0.5;

    const Source src = prepare(pixels, g);
    std::vector<double> dx(g.W);
    for (uint32_t x = 0; x < g.W; ++x) dx[x] = (x - g.ox) * g.kx;

    for (int frame = 0; frame < frameCount; ++frame) {
        const double t = frameCount == 1 ? 0.0 : (static_cast<double>(frame) / (frameCount - 1)) * 2.0 - 1.0;
        const double degrees = t * halfSweep - angleOffset;
        const double radians = degrees * kPi / 180.0;

        std::shared_ptr<Bitmap> bitmap = Bitmap::blank(g.W, g.H, s);
        if (bitmap == nullptr) break;
        cairo_surface_t* surface = bitmap->surface();
        cairo_surface_flush(surface);
        unsigned char* data = cairo_image_surface_get_data(surface);
        if (data == nullptr) break;
        turn(src, g, dx, radians, data, static_cast<size_t>(cairo_image_surface_get_stride(surface)));
        cairo_surface_mark_dirty(surface);
        result.push_back(std::move(bitmap));
    }
    return result;
}

}  // namespace fxcoreplug
