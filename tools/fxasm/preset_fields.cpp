#include "fxasm/preset_fields.h"

#include "fxasm/names.h"

namespace fxasm {
namespace {

using Presets = fxcore::FXCoreCore::Presets;
using W = PresetWidth;

// SFR numbers of the preset block's SFR fields.
template <int N>
int32_t& sfr(Presets& p) {
    return p.sfr[N];
}

constexpr PresetField kFields[] = {
    {"POT0_SHIFT", W::Shift, sfr<10>},
    {"POT1_SHIFT", W::Shift, sfr<11>},
    {"POT2_SHIFT", W::Shift, sfr<12>},
    {"POT3_SHIFT", W::Shift, sfr<13>},
    {"POT4_SHIFT", W::Shift, sfr<14>},
    {"POT5_SHIFT", W::Shift, sfr<15>},
    {"LFO0_RATE", W::Signed32, sfr<28>},
    {"LFO1_RATE", W::Signed32, sfr<29>},
    {"LFO2_RATE", W::Signed32, sfr<30>},
    {"LFO3_RATE", W::Signed32, sfr<31>},
    {"RAMP0_RATE", W::Signed32, sfr<32>},
    {"RAMP1_RATE", W::Signed32, sfr<33>},
    {"TAP_MAX", W::Signed32, sfr<44>},
    {"TAP_INTERVAL", W::Signed32, sfr<45>},
    {"TAP_HOLD", W::Unsigned16, [](Presets& p) -> int32_t& { return p.tapHoldSamples; }},
    {"TAP_DEBOUNCE", W::Unsigned16, [](Presets& p) -> int32_t& { return p.tapDebounceSamples; }},
    {"SWITCH_DEBOUNCE", W::Unsigned16, [](Presets& p) -> int32_t& { return p.switchDebounceSamples; }},
    {"SPARE0", W::Unsigned16, [](Presets& p) -> int32_t& { return p.spareTiming0; }},
    {"SPARE1", W::Unsigned16, [](Presets& p) -> int32_t& { return p.spareTiming1; }},
    {"USER0_ON", W::Flag, [](Presets& p) -> int32_t& { return p.userInit[0]; }},
    {"USER1_ON", W::Flag, [](Presets& p) -> int32_t& { return p.userInit[1]; }},
};

}  // namespace

const PresetField* findPresetField(std::string_view name) {
    for (const PresetField& f : kFields)
        if (equalsIgnoreCase(f.name, name)) return &f;
    return nullptr;
}

}  // namespace fxasm
