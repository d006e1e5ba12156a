// A panel layout's face as its "@2x" image holds it, for comparing screenshots of
// the panel with what the face looks like where no control sits. Link fxcoreedit.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fxcoreedit/panel_editor.h"
#include "fxcoreedit/panel_layouts.h"
#include "x11_parent_window.h"

namespace testsupport {

// A control's centre and the room it takes; an unlit lamp may look like the face.
struct ControlSpot {
    int x, y, radius;
    bool lamp = false;
};

struct FaceMatch {
    int samples = 0;   // squares compared
    int matching = 0;  // of them, those that show the face
};

struct PanelFace {
    std::shared_ptr<lumivex::ui::Bitmap> bitmap;  // null when the layout names no known image
    Screenshot face;                              // the bitmap at panel points, as a screenshot holds them
    std::vector<ControlSpot> controls;

    explicit PanelFace(const fxcoreplug::PanelLayout& layout)
        : bitmap(fxcoreplug::PanelEditor::loadImage(layout.faceImage, false)) {
        if (bitmap != nullptr) {
            lumivex::ui::PixelAccess pixels(*bitmap);
            face = {layout.width, layout.height, {}};
            for (int y = 0; y < face.height; ++y)
                for (int x = 0; x < face.width; ++x) {
                    const lumivex::ui::Colour c = pixels.get(static_cast<uint32_t>(x * bitmap->scaleFactor()),
                                                             static_cast<uint32_t>(y * bitmap->scaleFactor()));
                    face.pixels.push_back(uint32_t{c.red} << 16 | uint32_t{c.green} << 8 | c.blue);
                }
        }
        for (int i = 0; i < layout.knobCount; ++i)
            controls.push_back({layout.knobs[i].x, layout.knobs[i].y, layout.knobs[i].size / 2});
        for (int i = 0; i < layout.footswitchCount; ++i) {
            const fxcoreplug::FootswitchSpec& f = layout.footswitches[i];
            controls.push_back({f.x, f.y, std::max(f.width, f.height) / 2});
        }
        for (int i = 0; i < layout.ledCount; ++i)
            controls.push_back({layout.leds[i].x, layout.leds[i].y, layout.leds[i].diameter, true});
    }
    // The share of the square of side 2 * radius + 1 around (x, y) where some
    // channel differs from the face by more than 40.
    double changedShare(const Screenshot& shot, int x, int y, int radius) const {
        return shot.changedPixels(face, x, y, radius) / ((2.0 * radius + 1) * (2.0 * radius + 1));
    }
    // Mean absolute channel difference of that square's mean colours.
    double colourDifference(const Screenshot& shot, int x, int y, int radius) const {
        double sum[3] = {0, 0, 0};
        for (int yy = y - radius; yy <= y + radius; ++yy)
            for (int xx = x - radius; xx <= x + radius; ++xx)
                for (int c = 0; c < 3; ++c)
                    sum[c] += static_cast<double>(face.at(xx, yy) >> (16 - 8 * c) & 0xff) -
                              static_cast<double>(shot.at(xx, yy) >> (16 - 8 * c) & 0xff);
        const double n = (2.0 * radius + 1) * (2.0 * radius + 1);
        return (std::abs(sum[0]) + std::abs(sum[1]) + std::abs(sum[2])) / (3.0 * n);
    }
    // The face itself: a grid of small squares clear of every control, each compared
    // with the face image. The shot must be of the whole panel.
    FaceMatch clearSquaresMatching(const Screenshot& shot) const {
        FaceMatch match;
        for (int y = 10; y < shot.height - 10; y += 24) {
            for (int x = 10; x < shot.width - 10; x += 24) {
                const bool clear = std::none_of(controls.begin(), controls.end(), [&](const ControlSpot& s) {
                    return std::abs(x - s.x) <= s.radius + 6 && std::abs(y - s.y) <= s.radius + 6;
                });
                if (!clear) continue;
                ++match.samples;
                match.matching += colourDifference(shot, x, y, 3) < 12.0 ? 1 : 0;
            }
        }
        return match;
    }
};

}  // namespace testsupport
