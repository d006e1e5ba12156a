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
    std::vector<ControlSpot> controls;

    explicit PanelFace(const fxcoreplug::PanelLayout& layout)
        : bitmap(fxcoreplug::PanelEditor::loadImage(layout.faceImage, false)) {
        for (int i = 0; i < layout.knobCount; ++i)
            controls.push_back({layout.knobs[i].x, layout.knobs[i].y, layout.knobs[i].size / 2});
        for (int i = 0; i < layout.footswitchCount; ++i) {
            const fxcoreplug::FootswitchSpec& f = layout.footswitches[i];
            controls.push_back({f.x, f.y, std::max(f.width, f.height) / 2});
        }
        for (int i = 0; i < layout.ledCount; ++i)
            controls.push_back({layout.leds[i].x, layout.leds[i].y, layout.leds[i].diameter, true});
    }
    // Visits the square of side 2 * radius + 1 around (x, y) with the face's colour
    // and the shot's (0xRRGGBB) at each point.
    template <class Visit>
    void compare(const Screenshot& shot, int x, int y, int radius, Visit visit) const {
        lumivex::ui::PixelAccess pixels(*bitmap);
        const double scale = bitmap->scaleFactor();
        for (int yy = y - radius; yy <= y + radius; ++yy)
            for (int xx = x - radius; xx <= x + radius; ++xx) {
                const auto faceX = static_cast<uint32_t>(xx * scale), faceY = static_cast<uint32_t>(yy * scale);
                visit(pixels.get(faceX, faceY), shot.at(xx, yy));
            }
    }
    // Mean absolute channel difference of the square's mean colours.
    double colourDifference(const Screenshot& shot, int x, int y, int radius) const {
        double sum[3] = {0, 0, 0};
        compare(shot, x, y, radius, [&](lumivex::ui::Colour c, uint32_t p) {
            sum[0] += c.red - static_cast<double>(p >> 16 & 0xff);
            sum[1] += c.green - static_cast<double>(p >> 8 & 0xff);
            sum[2] += c.blue - static_cast<double>(p & 0xff);
        });
        const double n = (2.0 * radius + 1) * (2.0 * radius + 1);
        return (std::abs(sum[0]) + std::abs(sum[1]) + std::abs(sum[2])) / (3.0 * n);
    }
    // The share of the square's points where some channel differs by more than 40.
    double changedShare(const Screenshot& shot, int x, int y, int radius) const {
        int changed = 0, n = 0;
        compare(shot, x, y, radius, [&](lumivex::ui::Colour c, uint32_t p) {
            ++n;
            changed += std::abs(c.red - static_cast<int>(p >> 16 & 0xff)) > 40 ||
                       std::abs(c.green - static_cast<int>(p >> 8 & 0xff)) > 40 ||
                       std::abs(c.blue - static_cast<int>(p & 0xff)) > 40;
        });
        return static_cast<double>(changed) / n;
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
