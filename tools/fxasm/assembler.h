// The FXCore assembler: assembly source in, program words and chip presets out.
//
// The language is described in README.md next to this file. Every error is
// collected with its line number; the output is only meaningful without errors.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fxcore/fxcore_core.h"

namespace fxasm {

inline constexpr size_t kMaxProgramWords = 1024;

struct AsmError {
    int line = 0;  // 1-based
    std::string message;
};

struct AsmOutput {
    std::vector<uint32_t> words;          // empty when there are errors
    fxcore::FXCoreCore::Presets presets;  // the loader's defaults plus every .mreg, .creg and .sfr
    std::vector<AsmError> errors;         // in line order

    bool ok() const { return errors.empty(); }
};

AsmOutput assemble(std::string_view source);

}  // namespace fxasm
