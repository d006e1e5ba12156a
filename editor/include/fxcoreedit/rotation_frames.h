// The turned pictures of a knob: one knob image (showing the knob at the middle of
// its travel) rotated and resampled into a series of frames, frame 0 for the
// knob's minimum and the last for its maximum.
#pragma once

#include <memory>
#include <vector>

#include "lumivex_ui/bitmap.h"

namespace fxcoreplug {

using FrameList = std::vector<std::shared_ptr<lumivex::ui::Bitmap>>;

// frameCount frames turned evenly from -halfSweep to +halfSweep degrees, less
// angleOffset (positive turns clockwise on screen), measuring targetSize points
// along the source's longer side (targetSize <= 0 keeps the source's pixel size),
// at the source's scale factor. Bilinear resampling with straight alpha; a pixel
// whose interpolated alpha is 0.5 or less, or that maps onto the source's last row
// or column or outside it, is fully transparent. The source is only read.
// Empty for a null source or frameCount <= 0; a bitmap that cannot be made ends the
// series early.
FrameList makeRotationFrames(const lumivex::ui::Bitmap* source, int frameCount, double angleOffset,
                             double halfSweep, double targetSize);

}  // namespace fxcoreplug
