// What the assembler has learned so far while it reads a source top to bottom.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "fxasm/numbers.h"
#include "fxcore/fxcore_core.h"

namespace fxasm {

struct AssemblyState {
    Constants constants;
    std::map<std::string, int, std::less<>> labels;     // name -> program word it stands for
    std::map<std::string, int, std::less<>> definedAt;  // label or constant name -> line
    fxcore::FXCoreCore::Presets presets;
    std::map<std::string, int, std::less<>> presetSetAt;  // "MREG5", "R3", "TAP_HOLD" -> line

    // Empty when `name` is free for a new label or constant, else why not.
    std::string nameConflict(std::string_view name) const;
};

}  // namespace fxasm
