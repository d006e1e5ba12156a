#include "fxcoreedit/image_table.h"

#include <cstring>
#include <string>

namespace fxcoreplug {

const EmbeddedImage* findImage(const char* name) {
    if (name == nullptr) return nullptr;
    for (int i = 0; i < kEmbeddedImageCount; ++i) {
        const EmbeddedImage& entry = kEmbeddedImages[i];
        if (entry.name != nullptr && std::strcmp(entry.name, name) == 0) return &entry;
    }
    return nullptr;
}

const EmbeddedImage* chooseImageCandidate(const char* name, double& scale) {
    if (name == nullptr) return nullptr;
    const std::string base(name);
    if (const EmbeddedImage* entry = findImage((base + "@" + std::to_string(3) + "x").c_str())) {
        scale = 3.0;
        return entry;
    }
    if (const EmbeddedImage* entry = findImage((base + "@2x").c_str())) {
        scale = 2.0;
        return entry;
    }
    if (const EmbeddedImage* entry = findImage(name)) {
        scale = 1.0;
        return entry;
    }
    return nullptr;
}

}  // namespace fxcoreplug
