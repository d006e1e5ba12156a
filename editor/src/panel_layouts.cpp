#include "fxcoreedit/panel_layouts.h"

namespace fxcoreplug {

namespace {

using lumivex::ui::Colour;

constexpr Colour kWhite{255, 255, 255, 255};

// Rows 0 and 3 share every position; only the large knob image differs.
constexpr PanelLayout threeAndThree(const char* key, const char* face, const char* largeKnob) {
    return PanelLayout{
        key,
        face,
        394,
        722,
        {{100, 73, 91, 73, true, largeKnob},
         {101, 196, 91, 73, true, largeKnob},
         {102, 320, 91, 73, true, largeKnob},
         {103, 72, 211, 41, false, "small-knob"},
         {104, 196, 211, 41, false, "small-knob"},
         {105, 320, 211, 41, false, "small-knob"}},
        6,
        {{301, 72, 626, 83, 82, true, true}, {204, 324, 626, 82, 82, true, false}},
        2,
        {{54, 552, 21, kWhite}, {338, 552, 21, kWhite}},
        2,
    };
}

// Rows 4 and 5: four large knobs in a square around a small one, the lamp on top.
constexpr PanelLayout fourCorners(const char* key, const char* face, KnobSpec k0, KnobSpec k1, KnobSpec k2,
                                  KnobSpec k3, Colour lamp) {
    return PanelLayout{
        key,
        face,
        394,
        722,
        {k0, k1, k2, k3, {104, 197, 214, 41, false, "small-knob"}},
        5,
        {{204, 197, 592, 83, 83, true, false}},
        1,
        {{197, 49, 30, lamp}},
        1,
    };
}

}  // namespace

constinit const PanelLayout kPanels[] = {
    threeAndThree("lumivex", "KV-LUMIPANEL", "fluted-large"),
    PanelLayout{
        "tressik-jr",
        "kv-tressikjr",
        394,
        722,
        {{100, 73, 85, 95, true, "lg-knob-blu"},
         {101, 196, 85, 95, true, "lg-knob-org"},
         {102, 319, 85, 95, true, "lg-knob-yel"},
         {103, 72, 205, 41, false, "small-knob"},
         {104, 196, 205, 41, false, "small-knob"},
         {105, 320, 205, 41, false, "small-knob"}},
        6,
        {{204, 196, 617, 81, 83, true, false}},
        1,
        {{196, 481, 21, kWhite}},
        1,
    },
    PanelLayout{
        "ombrel-2",
        "kv-ombrel2",
        394,
        722,
        {{101, 196, 85, 107, true, "brutal-large"}},
        1,
        {{204, 196, 617, 81, 83, true, false}},
        1,
        {{196, 481, 21, kWhite}},
        1,
    },
    threeAndThree("farwhen", "kv-farwhen", "knob-blk-large"),
    fourCorners("vestrand-classic", "mz-vestrand-classic", {100, 92, 95, 73, true, "knob-wht-large"},
                {101, 92, 284, 73, true, "knob-wht-large"}, {102, 301, 95, 73, true, "knob-wht-large"},
                {103, 301, 284, 73, true, "knob-wht-large"}, Colour{90, 255, 90, 255}),
    fourCorners("pellory-classic", "mz-pellory-classic", {100, 92, 95, 73, true, "knob-wht-large"},
                {101, 301, 95, 73, true, "knob-wht-large"}, {102, 92, 284, 73, true, "knob-wht-large"},
                {103, 301, 284, 73, true, "knob-wht-large"}, Colour{90, 160, 255, 255}),
};

const int kPanelCount = static_cast<int>(sizeof(kPanels) / sizeof(kPanels[0]));

const PanelLayout& layoutNamed(const std::string& key) {
    for (int i = 0; i < kPanelCount; ++i) {
        if (key == kPanels[i].key) return kPanels[i];
    }
    return kPanels[0];
}

}  // namespace fxcoreplug
