// Looking up compiled-in images by name.
#pragma once

#include "fxcoreedit/embedded_images.h"

namespace fxcoreplug {

// The entry whose name equals `name` exactly (case-sensitive), or null; null for a
// null name. Only the first kEmbeddedImageCount entries are searched.
const EmbeddedImage* findImage(const char* name);

// The best resolution present for `name`: name + "@3x" (scale 3.0), else name + "@2x"
// (2.0), else the bare name (1.0). Sets `scale` to the chosen factor and returns the
// entry; returns null and leaves `scale` alone when none of the three exists.
const EmbeddedImage* chooseImageCandidate(const char* name, double& scale);

}  // namespace fxcoreplug
