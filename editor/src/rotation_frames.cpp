// Knob rotation frames: inverse-rotate every output pixel into the source and
// interpolate the four pixels around it, colours weighted by their alpha.
#include "fxcoreedit/rotation_frames.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace fxcoreplug {

using lumivex::ui::Bitmap;
using lumivex::ui::Colour;
using lumivex::ui::PixelAccess;

namespace {

constexpr double kPi = 3.141592653589793;

double lerp(double a, double b, double f) { return a + (b - a) * f; }

uint8_t channelByte(double v) {
    if (v < 0.0) return 0;
    if (v > 255.0) return 255;
    return static_cast<uint8_t>(v);
}

struct Geometry {
    uint32_t w, h;  // source pixels
    uint32_t W, H;  // frame pixels
    double kx, ky;  // source pixels per frame pixel
    double cx, cy;  // source centre
    double ox, oy;  // frame centre
};

Colour sample(const std::vector<Colour>& src, const Geometry& g, double u, double v) {
    constexpr Colour kClear{0, 0, 0, 0};
    if (!std::isfinite(u) || !std::isfinite(v)) return kClear;
    const double fu = std::floor(u);
    const double fv = std::floor(v);
    if (fu < 0.0 || fv < 0.0 || fu + 1.0 >= g.w || fv + 1.0 >= g.h) return kClear;
    const auto x0 = static_cast<int32_t>(fu);
    const auto y0 = static_cast<int32_t>(fv);
    const double fx = u - x0;
    const double fy = v - y0;
    const size_t i00 = static_cast<size_t>(y0) * g.w + static_cast<size_t>(x0);
    const Colour& p00 = src[i00];
    const Colour& p10 = src[i00 + 1];
    const Colour& p01 = src[i00 + g.w];
    const Colour& p11 = src[i00 + g.w + 1];

    const double a = lerp(lerp(p00.alpha, p10.alpha, fx), lerp(p01.alpha, p11.alpha, fx), fy);
    if (!(a > 0.5)) return kClear;
    const auto channel = [&](uint8_t Colour::*c) {
        const double p = lerp(lerp(int(p00.*c) * p00.alpha, int(p10.*c) * p10.alpha, fx),
                              lerp(int(p01.*c) * p01.alpha, int(p11.*c) * p11.alpha, fx), fy);
        return channelByte(p / a);
    };
    return {channel(&Colour::red), channel(&Colour::green), channel(&Colour::blue),
            static_cast<uint8_t>(std::min(a, 255.0))};
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
    const std::vector<Colour> src = source->pixels();
    if (src.size() < static_cast<size_t>(g.w) * g.h) return result;
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

    for (int frame = 0; frame < frameCount; ++frame) {
        const double t = frameCount == 1 ? 0.0 : (static_cast<double>(frame) / (frameCount - 1)) * 2.0 - 1.0;
        const double degrees = t * halfSweep - angleOffset;
        const double radians = degrees * kPi / 180.0;
        const double sn = std::sin(radians);
        const double cs = std::cos(radians);

        std::shared_ptr<Bitmap> bitmap = Bitmap::blank(g.W, g.H, s);
        if (bitmap == nullptr) break;
        {
            PixelAccess out(*bitmap);
            if (out.width() != g.W || out.height() != g.H) break;
            for (uint32_t y = 0; y < g.H; ++y) {
                const double dy = (y - g.oy) * g.ky;
                for (uint32_t x = 0; x < g.W; ++x) {
                    const double dx = (x - g.ox) * g.kx;
                    const double u = cs * dx + sn * dy + g.cx;
                    const double v = -sn * dx + cs * dy + g.cy;
                    out.set(x, y, sample(src, g, u, v));
                }
            }
        }
        result.push_back(std::move(bitmap));
    }
    return result;
}

}  // namespace fxcoreplug
