// The panel's opening cost: the 128 rotation frames of a large knob (151 x 150
// pixels at 73 points) and of a small one (78 x 78 pixels at 41 points), and one
// full redraw of a face-sized frame holding six knobs.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <memory>
#include <vector>

#include "fxcoreedit/rotary_knob.h"
#include "fxcoreedit/rotation_frames.h"
#include "lumivex_ui/frame.h"

namespace {

using lumivex::ui::Bitmap;

// A knob-like picture: a shaded disc with a pointer line, transparent around it.
std::shared_ptr<Bitmap> knobImage(uint32_t w, uint32_t h) {
    auto bitmap = Bitmap::blank(w, h, 2.0);
    cairo_t* cr = cairo_create(bitmap->surface());
    const double cx = w * 0.5, cy = h * 0.5, r = std::min(w, h) * 0.45;
    cairo_pattern_t* shade = cairo_pattern_create_radial(cx - r * 0.3, cy - r * 0.3, r * 0.1, cx, cy, r);
    cairo_pattern_add_color_stop_rgb(shade, 0.0, 0.8, 0.8, 0.85);
    cairo_pattern_add_color_stop_rgb(shade, 1.0, 0.15, 0.15, 0.18);
    cairo_set_source(cr, shade);
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_pattern_destroy(shade);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, r * 0.08);
    cairo_move_to(cr, cx, cy - r * 0.2);
    cairo_line_to(cr, cx, cy - r * 0.9);
    cairo_stroke(cr);
    cairo_destroy(cr);
    cairo_surface_mark_dirty(bitmap->surface());
    return bitmap;
}

void rotationFrames(benchmark::State& state, uint32_t w, uint32_t h, double size) {
    const auto source = knobImage(w, h);
    for (auto _ : state) {
        fxcoreplug::FrameList frames = fxcoreplug::makeRotationFrames(source.get(), 128, 0.0, 135.0, size);
        benchmark::DoNotOptimize(frames.data());
    }
    state.SetLabel("128 frames");
}

void BM_RotationFramesLargeKnob(benchmark::State& state) { rotationFrames(state, 151, 150, 73.0); }
void BM_RotationFramesSmallKnob(benchmark::State& state) { rotationFrames(state, 78, 78, 41.0); }

void BM_FullPanelRedraw(benchmark::State& state) {
    const auto large = fxcoreplug::makeRotationFrames(knobImage(151, 150).get(), 128, 0.0, 135.0, 73.0);
    const auto small = fxcoreplug::makeRotationFrames(knobImage(78, 78).get(), 128, 0.0, 135.0, 41.0);
    lumivex::ui::Frame frame(394, 722);
    auto face = Bitmap::blank(788, 1443, 2.0);
    cairo_t* cr = cairo_create(face->surface());
    cairo_set_source_rgb(cr, 0.3, 0.25, 0.2);
    cairo_paint(cr);
    cairo_destroy(cr);
    frame.setBackground(face);
    const double xs[3] = {73, 196, 320};
    for (int i = 0; i < 3; ++i) {
        frame.emplaceView<fxcoreplug::RotaryKnob>(lumivex::ui::Rect::fromSize(xs[i] - 36.5, 91 - 36.5, 73, 73),
                                                  nullptr, 100 + i, large);
        frame.emplaceView<fxcoreplug::RotaryKnob>(lumivex::ui::Rect::fromSize(xs[i] - 20.5, 211 - 20.5, 41, 41),
                                                  nullptr, 103 + i, small);
    }
    for (auto _ : state) {
        frame.invalidate();
        benchmark::DoNotOptimize(frame.flush());
    }
}

BENCHMARK(BM_RotationFramesLargeKnob)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotationFramesSmallKnob)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullPanelRedraw)->Unit(benchmark::kMillisecond);

}  // namespace
