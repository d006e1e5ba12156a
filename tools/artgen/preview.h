// Screenshot-like renderings of the panels put together from written images, for
// judging the artwork without the plug-in.
#pragma once

#include <string>

namespace artgen {

// Reads the images from `imageDir` and writes `previewDir`/preview-<key>.png for every
// panel layout (at double resolution, knobs turned to assorted values, lamps lit) and
// `previewDir`/preview-all.png with the six side by side, and preview-parts.png with
// the knobs, footswitches and levers. False when an image is
// missing or a file cannot be written.
bool writePreviews(const std::string& imageDir, const std::string& previewDir);

}  // namespace artgen
