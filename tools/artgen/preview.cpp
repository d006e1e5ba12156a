#include "preview.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "catalogue.h"
#include "fxcoreedit/panel_layouts.h"
#include "paint.h"

namespace artgen {

namespace {

constexpr int kScale = 2;

class ImageCache {
public:
    explicit ImageCache(std::string dir) : dir_(std::move(dir)) {}
    ImageCache(const ImageCache&) = delete;
    ImageCache& operator=(const ImageCache&) = delete;
    ~ImageCache() {
        for (auto& entry : images_) cairo_surface_destroy(entry.second);
    }

    // The "@2x" twin of `name`, or null.
    cairo_surface_t* twin(const std::string& name) {
        auto found = images_.find(name);
        if (found != images_.end()) return found->second;
        const std::string path = dir_ + "/" + name + "@2x.png";
        cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
        if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
            std::fprintf(stderr, "lumivex-artgen: cannot read %s\n", path.c_str());
            cairo_surface_destroy(s);
            s = nullptr;
        }
        images_[name] = s;
        return s;
    }

private:
    std::string dir_;
    std::map<std::string, cairo_surface_t*> images_;
};

double widthPt(cairo_surface_t* s) { return cairo_image_surface_get_width(s) / double(kScale); }
double heightPt(cairo_surface_t* s) { return cairo_image_surface_get_height(s) / double(kScale); }

// Draws a "@2x" image with its top-left corner at (x, y) in points, turned by
// `degrees` about its centre and scaled by `zoom`.
void place(cairo_t* cr, cairo_surface_t* s, double cx, double cy, double degrees, double zoom) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_rotate(cr, degrees * kPi / 180.0);
    cairo_scale(cr, zoom / kScale, zoom / kScale);
    cairo_translate(cr, -cairo_image_surface_get_width(s) * 0.5, -cairo_image_surface_get_height(s) * 0.5);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_restore(cr);
}

// The lamp as the panel draws it: a dark body, rings of glow and a bright core.
void lamp(cairo_t* cr, const fxcoreplug::LedSpec& led, double level) {
    const double d = led.diameter;
    const double r = d * 0.5;
    const double cr0 = led.colour.red / 255.0;
    const double cg = led.colour.green / 255.0;
    const double cb = led.colour.blue / 255.0;
    circle(cr, led.x, led.y, r);
    cairo_set_source_rgba(cr, 30 / 255.0, 30 / 255.0, 34 / 255.0, 200 / 255.0);
    cairo_fill(cr);
    for (int k = 6; k >= 1; --k) {
        const double s = k / 6.0;
        const int alpha = static_cast<int>((1 - s) * (1 - s) * (70 * level) + 6 * level);
        circle(cr, led.x, led.y, r + 0.42 * d * s);
        cairo_set_source_rgba(cr, cr0, cg, cb, alpha / 255.0);
        cairo_fill(cr);
    }
    const double k = 0.65 * level + 0.35;
    circle(cr, led.x, led.y, r - 0.14 * d);
    cairo_set_source_rgba(cr, cr0 * k, cg * k, cb * k, 1.0);
    cairo_fill(cr);
    circle(cr, led.x, led.y, r);
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 1, 1, 1, 60 / 255.0);
    cairo_stroke(cr);
}

bool panel(cairo_t* cr, ImageCache& images, const fxcoreplug::PanelLayout& layout) {
    static const double kValues[] = {0.5, 0.3, 0.78, 0.12, 0.62, 0.95};
    cairo_surface_t* face = images.twin(layout.faceImage);
    if (face == nullptr) return false;
    cairo_set_source_rgb(cr, 0.16, 0.16, 0.17);
    cairo_paint(cr);
    place(cr, face, widthPt(face) * 0.5, heightPt(face) * 0.5, 0, 1.0);
    for (int i = 0; i < layout.knobCount; ++i) {
        const fxcoreplug::KnobSpec& k = layout.knobs[i];
        cairo_surface_t* s = images.twin(k.image);
        if (s == nullptr) return false;
        const double zoom = k.size / std::max(widthPt(s), heightPt(s));
        place(cr, s, k.x, k.y, (kValues[i] * 2 - 1) * 135.0, zoom);
    }
    for (int i = 0; i < layout.footswitchCount; ++i) {
        const fxcoreplug::FootswitchSpec& f = layout.footswitches[i];
        cairo_surface_t* s = images.twin(f.leftImage ? "left-footswitch" : "right-footswitch");
        if (s == nullptr) return false;
        const double left = f.x - f.width * 0.5;
        const double top = f.y - f.height * 0.5;
        place(cr, s, left + widthPt(s) * 0.5, top + heightPt(s) * 0.5, 0, 1.0);
    }
    for (int i = 0; i < layout.ledCount; ++i) lamp(cr, layout.leds[i], i == 0 ? 1.0 : 0.45);
    return true;
}

bool save(cairo_surface_t* s, const std::string& path) {
    if (cairo_surface_write_to_png(s, path.c_str()) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "lumivex-artgen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// Every image but the faces at double resolution on a neutral ground, a row of up to
// six, with knobs shown at their middle position as stored.
bool partsSheet(ImageCache& images, const std::string& path) {
    const int columns = 6;
    const double cell = 140.0;
    std::vector<const ImageSpec*> parts;
    for (const ImageSpec& spec : catalogue()) {
        if (spec.width < 200) parts.push_back(&spec);
    }
    const int rows = static_cast<int>((parts.size() + columns - 1) / columns);
    cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(columns * cell),
                                                        static_cast<int>(rows * cell));
    cairo_t* cr = cairo_create(sheet);
    cairo_set_source_rgb(cr, 0.45, 0.46, 0.5);
    cairo_paint(cr);
    bool ok = true;
    for (std::size_t i = 0; i < parts.size() && ok; ++i) {
        cairo_surface_t* s = images.twin(parts[i]->name);
        ok = s != nullptr;
        if (ok) {
            const double zoom = std::min(1.0, (cell - 8) / std::max(cairo_image_surface_get_width(s),
                                                                              cairo_image_surface_get_height(s)));
            place(cr, s, (static_cast<double>(i % columns) + 0.5) * cell,
                  (static_cast<double>(i / columns) + 0.5) * cell, 0, zoom * kScale);
        }
    }
    cairo_destroy(cr);
    if (ok) ok = save(sheet, path);
    cairo_surface_destroy(sheet);
    return ok;
}

}  // namespace

bool writePreviews(const std::string& imageDir, const std::string& previewDir) {
    ImageCache images(imageDir);
    const int w = 394;
    const int h = 722;
    const int gap = 16;
    cairo_surface_t* sheet =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, fxcoreplug::kPanelCount * (w + gap) + gap, h + 2 * gap);
    cairo_t* sheetCr = cairo_create(sheet);
    cairo_set_source_rgb(sheetCr, 0.16, 0.16, 0.17);
    cairo_paint(sheetCr);
    bool ok = true;
    for (int i = 0; i < fxcoreplug::kPanelCount && ok; ++i) {
        const fxcoreplug::PanelLayout& layout = fxcoreplug::kPanels[i];
        cairo_surface_t* shot = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w * kScale, h * kScale);
        cairo_t* cr = cairo_create(shot);
        cairo_scale(cr, kScale, kScale);
        ok = panel(cr, images, layout);
        cairo_destroy(cr);
        if (ok) ok = save(shot, previewDir + "/preview-" + layout.key + ".png");
        if (ok) {
            cairo_save(sheetCr);
            cairo_translate(sheetCr, gap + i * (w + gap), gap);
            cairo_scale(sheetCr, 1.0 / kScale, 1.0 / kScale);
            cairo_set_source_surface(sheetCr, shot, 0, 0);
            cairo_pattern_set_filter(cairo_get_source(sheetCr), CAIRO_FILTER_GOOD);
            cairo_paint(sheetCr);
            cairo_restore(sheetCr);
        }
        cairo_surface_destroy(shot);
    }
    cairo_destroy(sheetCr);
    if (ok) ok = save(sheet, previewDir + "/preview-all.png");
    if (ok) ok = partsSheet(images, previewDir + "/preview-parts.png");
    cairo_surface_destroy(sheet);
    return ok;
}

}  // namespace artgen
