// lumivex-artgen: draws the panel artwork the plug-in embeds.
//
//   lumivex-artgen OUTPUT_DIR [--preview PREVIEW_DIR]
//
// Writes every image of the catalogue as OUTPUT_DIR/<name>.png and its double-resolution
// twin as OUTPUT_DIR/<name>@2x.png (RGBA, 8 bits per channel). The output depends on
// nothing but this program, cairo and the DejaVu fonts, so running it again gives the
// same files. With --preview it also renders the assembled panels for inspection.
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "catalogue.h"
#include "preview.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: lumivex-artgen OUTPUT_DIR [--preview PREVIEW_DIR]\n");
    return 2;
}

bool writeImage(const artgen::ImageSpec& spec, int scale, const std::string& dir) {
    cairo_surface_t* surface = artgen::render(spec, scale);
    const std::string path = dir + "/" + spec.name + (scale == 2 ? "@2x" : "") + ".png";
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "lumivex-artgen: cannot write %s: %s\n", path.c_str(), cairo_status_to_string(status));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string outputDir;
    std::string previewDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--preview" && i + 1 < argc) {
            previewDir = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && outputDir.empty()) {
            outputDir = arg;
        } else {
            return usage();
        }
    }
    if (outputDir.empty()) return usage();

    std::error_code error;
    std::filesystem::create_directories(outputDir, error);
    if (!previewDir.empty()) std::filesystem::create_directories(previewDir, error);

    int written = 0;
    for (const artgen::ImageSpec& spec : artgen::catalogue()) {
        for (int scale : {1, 2}) {
            if (!writeImage(spec, scale, outputDir)) return 1;
            ++written;
        }
    }
    std::printf("lumivex-artgen: %d images in %s\n", written, outputDir.c_str());
    if (!previewDir.empty()) {
        if (!artgen::writePreviews(outputDir, previewDir)) return 1;
        std::printf("lumivex-artgen: previews in %s\n", previewDir.c_str());
    }
    // Leave no cached fonts behind for leak checkers.
    cairo_debug_reset_static_data();
    FcFini();
    return 0;
}
