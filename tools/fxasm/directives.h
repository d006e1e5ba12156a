// The directives: .equ, .mreg, .creg and .sfr.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "fxasm/assembly_state.h"

namespace fxasm {

// Applies one directive found on `line`; returns the reason when it is not valid.
std::string applyDirective(std::string_view keyword, std::span<const std::string_view> operands, int line,
                           AssemblyState& state);

}  // namespace fxasm
