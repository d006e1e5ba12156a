// One screenshot per panel layout, read back from the plug-in's real window, saved
// as panel-<key>.png in the build tree and checked against the layout: the face
// image everywhere no control sits, and a knob or footswitch drawn over the face at
// each position the layout gives. The PANEL key of the active program's control
// names picks the layout, so each shot runs on a test firmware table whose one
// program names that key and six knobs.
#include <string>

#include "fxcoreedit/panel_layouts.h"
#include "panel_face.h"
#include "panel_fixture.h"
#include "test_programs.h"

namespace {

class PanelScreenshot : public panel::PanelFixture, public ::testing::WithParamInterface<int> {
protected:
    testsupport::Firmware firmware;  // outlives the plug-in, which the fixture drops
};

TEST_P(PanelScreenshot, ShowsTheFaceAndEveryControlWhereTheLayoutPutsThem) {
    const fxcoreplug::PanelLayout& layout = fxcoreplug::kPanels[GetParam()];
    firmware.add("Face", testsupport::constantProgram(0.25),
                 std::string("NAME Face\nPANEL ") + layout.key +
                     "\nPOT0 A\nPOT1 B\nPOT2 C\nPOT3 D\nPOT4 E\nPOT5 F\nSW4 Bypass\nTAP Tap\n");
    make(firmware.table());
    ASSERT_NE(open(), 0u);
    ASSERT_EQ(shot.width, static_cast<int>(panel::kWidth));
    ASSERT_EQ(shot.height, static_cast<int>(panel::kHeight));
    const std::string path = std::string(LUMIVEX_SCREENSHOT_DIR) + "/panel-" + layout.key + ".png";
    EXPECT_TRUE(shot.savePng(path)) << path;

    const testsupport::PanelFace face(layout);
    ASSERT_NE(face.bitmap, nullptr) << layout.faceImage;
    for (const testsupport::ControlSpot& s : face.controls) {
        if (s.lamp) continue;
        EXPECT_GT(face.changedShare(shot, s.x, s.y, s.radius), 0.05) << "nothing drawn at " << s.x << "," << s.y;
    }
    const testsupport::FaceMatch match = face.clearSquaresMatching(shot);
    EXPECT_GE(match.matching, match.samples * 95 / 100)
        << match.matching << " of " << match.samples << " squares show " << layout.faceImage;
}

INSTANTIATE_TEST_SUITE_P(Layouts, PanelScreenshot, ::testing::Range(0, 6), [](const auto& info) {
    std::string name = fxcoreplug::kPanels[info.param].key;
    std::erase(name, '-');
    return name;
});

}  // namespace
