// One screenshot per panel layout, read back from the plug-in's real window, saved
// as panel-<key>.png in the build tree and checked against the layout: the face
// image everywhere no control sits, and a knob or footswitch drawn over the face at
// each position the layout gives. The layout is chosen by the PANEL key of the
// active program's control names, so each shot runs a plug-in built on a test
// firmware table whose one program names that key and six knobs.
#include <algorithm>
#include <memory>
#include <string>

#include "fxcoreedit/image_decode.h"
#include "fxcoreedit/image_table.h"
#include "fxcoreedit/panel_layouts.h"
#include "fxcoreplug/fxcore_plugin.h"
#include "panel_fixture.h"
#include "test_programs.h"

namespace {

using fxcoreplug::PanelLayout;

// A control's centre and the room it takes; an unlit lamp may look like the face.
struct Spot {
    int x, y, radius;
    bool lamp = false;
};

std::vector<Spot> controlSpots(const PanelLayout& layout) {
    std::vector<Spot> spots;
    for (int i = 0; i < layout.knobCount; ++i)
        spots.push_back({layout.knobs[i].x, layout.knobs[i].y, layout.knobs[i].size / 2});
    for (int i = 0; i < layout.footswitchCount; ++i) {
        const fxcoreplug::FootswitchSpec& f = layout.footswitches[i];
        spots.push_back({f.x, f.y, std::max(f.width, f.height) / 2});
    }
    for (int i = 0; i < layout.ledCount; ++i)
        spots.push_back({layout.leds[i].x, layout.leds[i].y, layout.leds[i].diameter, true});
    return spots;
}

// The layout's face as its "@2x" image holds it, compared with a screenshot.
struct Face {
    std::shared_ptr<lumivex::ui::Bitmap> bitmap;

    explicit Face(const std::string& name) {
        double scale = 0.0;
        if (const fxcoreplug::EmbeddedImage* image = fxcoreplug::chooseImageCandidate(name.c_str(), scale))
            bitmap = fxcoreplug::decodeImage(image->data, image->size, scale, false);
    }
    // Visits the square of side 2 * radius + 1 around (x, y) with the face's colour
    // and the shot's (0xRRGGBB) at each point.
    template <class Visit>
    void compare(const testsupport::Screenshot& shot, int x, int y, int radius, Visit visit) const {
        lumivex::ui::PixelAccess pixels(*bitmap);
        const double scale = bitmap->scaleFactor();
        for (int yy = y - radius; yy <= y + radius; ++yy)
            for (int xx = x - radius; xx <= x + radius; ++xx)
                visit(pixels.get(static_cast<uint32_t>(xx * scale), static_cast<uint32_t>(yy * scale)), shot.at(xx, yy));
    }
    // Mean absolute channel difference of the square's mean colours.
    double colourDifference(const testsupport::Screenshot& shot, int x, int y, int radius) const {
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
    double changedShare(const testsupport::Screenshot& shot, int x, int y, int radius) const {
        int changed = 0, n = 0;
        compare(shot, x, y, radius, [&](lumivex::ui::Colour c, uint32_t p) {
            ++n;
            changed += std::abs(c.red - static_cast<int>(p >> 16 & 0xff)) > 40 ||
                       std::abs(c.green - static_cast<int>(p >> 8 & 0xff)) > 40 ||
                       std::abs(c.blue - static_cast<int>(p & 0xff)) > 40;
        });
        return static_cast<double>(changed) / n;
    }
};

class PanelScreenshot : public panel::PanelFixture, public ::testing::WithParamInterface<int> {
protected:
    void TearDown() override {
        PanelFixture::TearDown();
        pedal.reset();  // after the window is gone, before the host
    }

    testsupport::Firmware firmware;
    std::unique_ptr<fxcoreplug::FXCorePlugin> pedal;
};

TEST_P(PanelScreenshot, ShowsTheFaceAndEveryControlWhereTheLayoutPutsThem) {
    const PanelLayout& layout = fxcoreplug::kPanels[GetParam()];
    firmware.add("Face", testsupport::constantProgram(0.25),
                 std::string("NAME Face\nPANEL ") + layout.key +
                     "\nPOT0 A\nPOT1 B\nPOT2 C\nPOT3 D\nPOT4 E\nPOT5 F\nSW4 Bypass\nTAP Tap\n");
    pedal = std::make_unique<fxcoreplug::FXCorePlugin>(host.clap(), firmware.table());
    attach(&pedal->plugin);
    SKIP_WITHOUT_PANEL(*this);
    ASSERT_NE(open(), 0u);
    ASSERT_EQ(shot.width, static_cast<int>(panel::kWidth));
    ASSERT_EQ(shot.height, static_cast<int>(panel::kHeight));
    const std::string path = std::string(LUMIVEX_SCREENSHOT_DIR) + "/panel-" + layout.key + ".png";
    EXPECT_TRUE(shot.savePng(path)) << path;

    const Face face(layout.faceImage);
    ASSERT_NE(face.bitmap, nullptr) << layout.faceImage;
    const std::vector<Spot> controls = controlSpots(layout);
    for (const Spot& s : controls) {
        if (s.lamp) continue;
        EXPECT_GT(face.changedShare(shot, s.x, s.y, s.radius), 0.05) << "nothing drawn at " << s.x << "," << s.y;
    }
    // The face itself: a grid of small squares clear of every control.
    int samples = 0, matching = 0;
    for (int y = 10; y < static_cast<int>(panel::kHeight) - 10; y += 24) {
        for (int x = 10; x < static_cast<int>(panel::kWidth) - 10; x += 24) {
            const bool clear = std::none_of(controls.begin(), controls.end(), [&](const Spot& s) {
                return std::abs(x - s.x) <= s.radius + 6 && std::abs(y - s.y) <= s.radius + 6;
            });
            if (!clear) continue;
            ++samples;
            matching += face.colourDifference(shot, x, y, 3) < 12.0 ? 1 : 0;
        }
    }
    EXPECT_GE(matching, samples * 95 / 100) << matching << " of " << samples << " squares show " << layout.faceImage;
}

INSTANTIATE_TEST_SUITE_P(Layouts, PanelScreenshot, ::testing::Range(0, 6),
                         [](const ::testing::TestParamInfo<int>& info) {
                             std::string name = fxcoreplug::kPanels[info.param].key;
                             std::erase(name, '-');
                             return name;
                         });

}  // namespace
