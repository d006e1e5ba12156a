#include "catalogue.h"

#include <algorithm>
#include <cstring>

#include "artwork.h"

namespace artgen {

namespace {

ImageSpec knob(const char* name, int w, int h, int tw, int th, KnobKind kind) {
    return {name, w, h, tw, th, [kind](cairo_t* cr, double cw, double ch) { drawKnob(cr, cw, ch, kind); }};
}

ImageSpec face(const char* name, const char* layoutKey) {
    return {name, 394, 722, 788, 1443, [layoutKey](cairo_t* cr, double cw, double ch) {
                drawFace(cr, cw, ch, fxcoreplug::layoutNamed(layoutKey));
            }};
}

ImageSpec toggle(const char* name, LeverPosition position) {
    return {name, 50, 59, 99, 118, [position](cairo_t* cr, double cw, double ch) { drawToggle(cr, cw, ch, position); }};
}

std::vector<ImageSpec> makeCatalogue() {
    return {
        face("KV-LUMIPANEL", "lumivex"),
        face("kv-tressikjr", "tressik-jr"),
        face("kv-ombrel2", "ombrel-2"),
        face("kv-farwhen", "farwhen"),
        face("mz-vestrand-classic", "vestrand-classic"),
        face("mz-pellory-classic", "pellory-classic"),
        knob("fluted-large", 75, 75, 151, 150, KnobKind::FlutedSilver),
        knob("knob-blk-large", 75, 75, 151, 150, KnobKind::KnurledBlack),
        knob("knob-wht-large", 75, 75, 151, 150, KnobKind::FlutedCream),
        knob("lg-knob-blu", 105, 104, 209, 208, KnobKind::SkirtedBlue),
        knob("lg-knob-org", 105, 104, 209, 208, KnobKind::SkirtedOrange),
        knob("lg-knob-yel", 105, 104, 209, 208, KnobKind::SkirtedYellow),
        knob("wh-knob-large", 105, 104, 209, 208, KnobKind::SkirtedWhite),
        knob("brutal-large", 128, 128, 255, 255, KnobKind::Brutal),
        knob("small-knob", 39, 39, 78, 78, KnobKind::SmallBlack),
        {"left-footswitch", 84, 79, 169, 159,
         [](cairo_t* cr, double cw, double ch) { drawFootswitch(cr, cw, ch, true); }},
        {"right-footswitch", 79, 84, 158, 169,
         [](cairo_t* cr, double cw, double ch) { drawFootswitch(cr, cw, ch, false); }},
        toggle("toggle-up", LeverPosition::Up),
        toggle("toggle-mid", LeverPosition::Middle),
        toggle("toggle-down", LeverPosition::Down),
    };
}

}  // namespace

const std::vector<ImageSpec>& catalogue() {
    static const std::vector<ImageSpec> images = makeCatalogue();
    return images;
}

const ImageSpec* findSpec(const char* name) {
    for (const ImageSpec& spec : catalogue()) {
        if (std::strcmp(spec.name, name) == 0) return &spec;
    }
    return nullptr;
}

double knobRadiusOnPanel(const char* image, int size) {
    const ImageSpec* spec = findSpec(image);
    if (spec == nullptr) return size * 0.5;
    // Matches the knob drawings: the knob fills its canvas but for a 1.5-point margin.
    const double radius = std::min(spec->width, spec->height) * 0.5 - 1.5;
    return radius * size / std::max(spec->width, spec->height);
}

cairo_surface_t* render(const ImageSpec& spec, int scale) {
    const int w = scale == 1 ? spec.width : spec.twinWidth;
    const int h = scale == 1 ? spec.height : spec.twinHeight;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GOOD);
    cairo_scale(cr, scale, scale);
    spec.draw(cr, static_cast<double>(w) / scale, static_cast<double>(h) / scale);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return surface;
}

}  // namespace artgen
