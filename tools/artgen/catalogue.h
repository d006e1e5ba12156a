// Every image the plug-in embeds: its name, its pixel sizes and how to draw it.
#pragma once

#include <cairo.h>

#include <functional>
#include <vector>

namespace artgen {

struct ImageSpec {
    const char* name;  // without extension; the twin adds "@2x"
    int width;         // plain image, pixels
    int height;
    int twinWidth;  // "@2x" twin, pixels (not always exactly double)
    int twinHeight;
    std::function<void(cairo_t*, double w, double h)> draw;  // canvas in points
};

const std::vector<ImageSpec>& catalogue();
const ImageSpec* findSpec(const char* name);

// Radius in panel points of the knob drawn by `image` when the editor shows it in a
// square of `size` points (the longer side of the image is scaled to `size`).
double knobRadiusOnPanel(const char* image, int size);

// Draws `spec` at `scale` (1 or 2) into a new image surface of the matching pixel size.
cairo_surface_t* render(const ImageSpec& spec, int scale);

}  // namespace artgen
