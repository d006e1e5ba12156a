// The fields of the SFR preset block that `.sfr FIELD, value` sets, and where
// each one lives in the chip's presets.
#pragma once

#include <cstdint>
#include <string_view>

#include "fxcore/fxcore_core.h"

namespace fxasm {

enum class PresetWidth {
    Shift,       // pot smoothing shift, 0-31
    Signed32,    // a 32-bit value: rates, tap intervals
    Unsigned16,  // a timing value in samples, 0-65535
    Flag,        // 0 or 1
};

struct PresetField {
    std::string_view name;
    PresetWidth width;
    int32_t& (*target)(fxcore::FXCoreCore::Presets&);
};

// The field with this name (case-insensitive), or nullptr.
const PresetField* findPresetField(std::string_view name);

}  // namespace fxasm
