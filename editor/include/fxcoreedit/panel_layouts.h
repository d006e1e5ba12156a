// The six pedal faces the editor can show: which face image fills the window and
// where each knob, footswitch and LED sits. Coordinates are points from the panel's
// top-left corner, y growing downwards. Constant data.
#pragma once

#include <cstdint>
#include <string>

#include "lumivex_ui/colour.h"

namespace fxcoreplug {

struct KnobSpec {
    std::int32_t tag = 0;   // parameter id, 100..105 for POT0..POT5
    std::int32_t x = 0;     // centre
    std::int32_t y = 0;
    std::int32_t size = 0;  // side of the square the knob occupies
    bool large = false;     // one of the big knobs (size 73 or more)
    const char* image = nullptr;
};

struct FootswitchSpec {
    std::int32_t tag = 0;  // 301 TAP or 204 SW4
    std::int32_t x = 0;    // centre
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool momentary = false;
    bool leftImage = false;  // "left-footswitch" when true, else "right-footswitch"
};

struct LedSpec {
    std::int32_t x = 0;  // centre
    std::int32_t y = 0;
    std::int32_t diameter = 0;
    lumivex::ui::Colour colour{255, 255, 255, 255};  // unused slots keep white too
};

inline constexpr int kMaxPanelKnobs = 6;
inline constexpr int kMaxPanelFootswitches = 2;
inline constexpr int kMaxPanelLeds = 2;

struct PanelLayout {
    const char* key = nullptr;        // compared with the control names' panel key
    const char* faceImage = nullptr;  // background image name
    std::int32_t width = 0;
    std::int32_t height = 0;
    KnobSpec knobs[kMaxPanelKnobs];
    std::int32_t knobCount = 0;
    FootswitchSpec footswitches[kMaxPanelFootswitches];
    std::int32_t footswitchCount = 0;
    LedSpec leds[kMaxPanelLeds];
    std::int32_t ledCount = 0;
};

extern const PanelLayout kPanels[];
extern const int kPanelCount;

// The first row whose key equals `key` exactly; row 0 when none does (empty included).
const PanelLayout& layoutNamed(const std::string& key);

}  // namespace fxcoreplug
