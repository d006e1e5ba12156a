#include "fxasm/preset_fields.h"

#include "fxasm/names.h"
#include "fxcore/sfr_map.h"

namespace fxasm {
namespace {

using Presets = fxcore::FXCoreCore::Presets;
using W = PresetWidth;
using enum fxcore::Sfr;

// A field that presets an SFR goes by the SFR's name.
template <fxcore::Sfr S>
constexpr PresetField sfrField(PresetWidth width) {
    return {fxcore::sfrName(S), width, [](Presets& p) -> int32_t& { return p.sfr[S]; }};
}

constexpr PresetField kFields[] = {
    sfrField<POT0_SHIFT>(W::Shift),
    sfrField<POT1_SHIFT>(W::Shift),
    sfrField<POT2_SHIFT>(W::Shift),
    sfrField<POT3_SHIFT>(W::Shift),
    sfrField<POT4_SHIFT>(W::Shift),
    sfrField<POT5_SHIFT>(W::Shift),
    sfrField<LFO0_RATE>(W::Signed32),
    sfrField<LFO1_RATE>(W::Signed32),
    sfrField<LFO2_RATE>(W::Signed32),
    sfrField<LFO3_RATE>(W::Signed32),
    sfrField<RAMP0_RATE>(W::Signed32),
    sfrField<RAMP1_RATE>(W::Signed32),
    sfrField<TAP_MAX>(W::Signed32),
    sfrField<TAP_INTERVAL>(W::Signed32),
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
