// The images compiled into the plug-in: 20 pairs of a plain PNG and its "@2x" twin
// right after it, then an entry of nulls. The table is generated at build time from
// resources/images/*.png.
#pragma once

#include <cstdint>

namespace fxcoreplug {

struct EmbeddedImage {
    const char* name;           // image name without extension, e.g. "small-knob@2x"
    const unsigned char* data;  // the whole PNG file
    std::uint64_t size;         // bytes at data
};

extern const EmbeddedImage kEmbeddedImages[];
extern const int kEmbeddedImageCount;

}  // namespace fxcoreplug
