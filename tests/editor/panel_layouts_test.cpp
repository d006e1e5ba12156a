// The six panel layouts and the lookup by panel key.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fxcoreedit/image_table.h"
#include "fxcoreedit/panel_layouts.h"

namespace fxcoreplug {
namespace {

struct Knob {
    int tag, x, y, size;
    const char* image;
};
struct Footswitch {
    int tag, x, y, width, height;
    bool left;
};
struct Led {
    int x, y, diameter;
    int r, g, b, a;
};
struct Row {
    const char* key;
    const char* face;
    std::vector<Knob> knobs;
    std::vector<Footswitch> footswitches;
    std::vector<Led> leds;
};

std::vector<Row> expectedRows() {
    const std::vector<Knob> threeAndThreeSmall = {{103, 72, 211, 41, "small-knob"},
                                                   {104, 196, 211, 41, "small-knob"},
                                                   {105, 320, 211, 41, "small-knob"}};
    auto bigThree = [&](const char* image) {
        std::vector<Knob> knobs = {{100, 73, 91, 73, image}, {101, 196, 91, 73, image}, {102, 320, 91, 73, image}};
        knobs.insert(knobs.end(), threeAndThreeSmall.begin(), threeAndThreeSmall.end());
        return knobs;
    };
    const std::vector<Footswitch> twoSwitches = {{301, 72, 626, 83, 82, true}, {204, 324, 626, 82, 82, false}};
    const std::vector<Led> twoLamps = {{54, 552, 21, 255, 255, 255, 255}, {338, 552, 21, 255, 255, 255, 255}};
    const Footswitch centreSwitch{204, 196, 617, 81, 83, false};
    const Led centreLamp{196, 481, 21, 255, 255, 255, 255};
    return {
        {"lumivex", "KV-LUMIPANEL", bigThree("fluted-large"), twoSwitches, twoLamps},
        {"tressik-jr",
         "kv-tressikjr",
         {{100, 73, 85, 95, "lg-knob-blu"},
          {101, 196, 85, 95, "lg-knob-org"},
          {102, 319, 85, 95, "lg-knob-yel"},
          {103, 72, 205, 41, "small-knob"},
          {104, 196, 205, 41, "small-knob"},
          {105, 320, 205, 41, "small-knob"}},
         {centreSwitch},
         {centreLamp}},
        {"ombrel-2", "kv-ombrel2", {{101, 196, 85, 107, "brutal-large"}}, {centreSwitch}, {centreLamp}},
        {"farwhen", "kv-farwhen", bigThree("knob-blk-large"), twoSwitches, twoLamps},
        {"vestrand-classic",
         "mz-vestrand-classic",
         {{100, 92, 95, 73, "knob-wht-large"},
          {101, 92, 284, 73, "knob-wht-large"},
          {102, 301, 95, 73, "knob-wht-large"},
          {103, 301, 284, 73, "knob-wht-large"},
          {104, 197, 214, 41, "small-knob"}},
         {{204, 197, 592, 83, 83, false}},
         {{197, 49, 30, 90, 255, 90, 255}}},
        {"pellory-classic",
         "mz-pellory-classic",
         {{100, 92, 95, 73, "knob-wht-large"},
          {101, 301, 95, 73, "knob-wht-large"},
          {102, 92, 284, 73, "knob-wht-large"},
          {103, 301, 284, 73, "knob-wht-large"},
          {104, 197, 214, 41, "small-knob"}},
         {{204, 197, 592, 83, 83, false}},
         {{197, 49, 30, 90, 160, 255, 255}}},
    };
}

TEST(PanelLayouts, SixRowsInTableOrder) {
    const std::vector<Row> rows = expectedRows();
    ASSERT_EQ(kPanelCount, 6);
    for (int i = 0; i < kPanelCount; ++i) {
        const PanelLayout& layout = kPanels[i];
        const Row& row = rows[static_cast<size_t>(i)];
        SCOPED_TRACE(row.key);
        EXPECT_STREQ(layout.key, row.key);
        EXPECT_STREQ(layout.faceImage, row.face);
        EXPECT_EQ(layout.width, 394);
        EXPECT_EQ(layout.height, 722);

        ASSERT_EQ(layout.knobCount, static_cast<int>(row.knobs.size()));
        for (int k = 0; k < layout.knobCount; ++k) {
            const KnobSpec& got = layout.knobs[k];
            const Knob& want = row.knobs[static_cast<size_t>(k)];
            SCOPED_TRACE("knob " + std::to_string(k));
            EXPECT_EQ(got.tag, want.tag);
            EXPECT_EQ(got.x, want.x);
            EXPECT_EQ(got.y, want.y);
            EXPECT_EQ(got.size, want.size);
            EXPECT_EQ(got.large, want.size >= 73);
            EXPECT_STREQ(got.image, want.image);
        }

        ASSERT_EQ(layout.footswitchCount, static_cast<int>(row.footswitches.size()));
        for (int f = 0; f < layout.footswitchCount; ++f) {
            const FootswitchSpec& got = layout.footswitches[f];
            const Footswitch& want = row.footswitches[static_cast<size_t>(f)];
            SCOPED_TRACE("footswitch " + std::to_string(f));
            EXPECT_EQ(got.tag, want.tag);
            EXPECT_EQ(got.x, want.x);
            EXPECT_EQ(got.y, want.y);
            EXPECT_EQ(got.width, want.width);
            EXPECT_EQ(got.height, want.height);
            EXPECT_TRUE(got.momentary);
            EXPECT_EQ(got.leftImage, want.left);
        }

        ASSERT_EQ(layout.ledCount, static_cast<int>(row.leds.size()));
        for (int l = 0; l < layout.ledCount; ++l) {
            const LedSpec& got = layout.leds[l];
            const Led& want = row.leds[static_cast<size_t>(l)];
            SCOPED_TRACE("led " + std::to_string(l));
            EXPECT_EQ(got.x, want.x);
            EXPECT_EQ(got.y, want.y);
            EXPECT_EQ(got.diameter, want.diameter);
            EXPECT_EQ(got.colour, (lumivex::ui::Colour{static_cast<std::uint8_t>(want.r),
                                                       static_cast<std::uint8_t>(want.g),
                                                       static_cast<std::uint8_t>(want.b),
                                                       static_cast<std::uint8_t>(want.a)}));
        }
    }
}

TEST(PanelLayouts, SlotsBeyondTheCountsAreEmpty) {
    const lumivex::ui::Colour white{255, 255, 255, 255};
    for (int i = 0; i < kPanelCount; ++i) {
        const PanelLayout& layout = kPanels[i];
        SCOPED_TRACE(layout.key);
        for (int k = layout.knobCount; k < kMaxPanelKnobs; ++k) {
            const KnobSpec& s = layout.knobs[k];
            EXPECT_EQ(s.tag, 0);
            EXPECT_EQ(s.x, 0);
            EXPECT_EQ(s.y, 0);
            EXPECT_EQ(s.size, 0);
            EXPECT_FALSE(s.large);
            EXPECT_EQ(s.image, nullptr);
        }
        for (int f = layout.footswitchCount; f < kMaxPanelFootswitches; ++f) {
            const FootswitchSpec& s = layout.footswitches[f];
            EXPECT_EQ(s.tag, 0);
            EXPECT_EQ(s.x, 0);
            EXPECT_EQ(s.y, 0);
            EXPECT_EQ(s.width, 0);
            EXPECT_EQ(s.height, 0);
            EXPECT_FALSE(s.momentary);
            EXPECT_FALSE(s.leftImage);
        }
        for (int l = layout.ledCount; l < kMaxPanelLeds; ++l) {
            const LedSpec& s = layout.leds[l];
            EXPECT_EQ(s.x, 0);
            EXPECT_EQ(s.y, 0);
            EXPECT_EQ(s.diameter, 0);
            EXPECT_EQ(s.colour, white);
        }
    }
}

TEST(PanelLayouts, EveryImageALayoutNamesIsCompiledIn) {
    for (int i = 0; i < kPanelCount; ++i) {
        const PanelLayout& layout = kPanels[i];
        SCOPED_TRACE(layout.key);
        EXPECT_NE(findImage(layout.faceImage), nullptr) << layout.faceImage;
        for (int k = 0; k < layout.knobCount; ++k) {
            EXPECT_NE(findImage(layout.knobs[k].image), nullptr) << layout.knobs[k].image;
        }
    }
    // Loaded whatever the layout.
    for (const char* name : {"left-footswitch", "right-footswitch", "toggle-up", "toggle-mid", "toggle-down"}) {
        EXPECT_NE(findImage(name), nullptr) << name;
    }
}

TEST(LayoutNamed, FindsEachRowByItsExactKey) {
    for (int i = 0; i < kPanelCount; ++i) {
        EXPECT_EQ(&layoutNamed(kPanels[i].key), &kPanels[i]) << kPanels[i].key;
    }
    EXPECT_EQ(&layoutNamed("farwhen"), &kPanels[3]);
    EXPECT_EQ(&layoutNamed("lumivex"), &kPanels[0]);
}

TEST(LayoutNamed, AnyOtherKeyGivesTheDefaultRow) {
    const std::vector<std::string> keys = {
        "",         "FARWHEN",         "Farwhen", "farwhen ", " farwhen", "farwhe", "Ombrel-2",
        "ombrel-2x", "Pellory-Classic", "kv-farwhen",
        std::string("farwhen\0x", 9),  // same bytes up to an embedded zero
    };
    for (const std::string& key : keys) {
        EXPECT_EQ(&layoutNamed(key), &kPanels[0]) << '"' << key << '"';
    }
}

}  // namespace
}  // namespace fxcoreplug
