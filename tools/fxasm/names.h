// Reserved operand names: registers, SFRs, LFO outputs, ramps and user outputs.
// All of them are case-insensitive; labels and constants may not take any of them.
#pragma once

#include <optional>
#include <string_view>

namespace fxasm {

bool equalsIgnoreCase(std::string_view a, std::string_view b);

// A label or constant name: a letter or '_', then letters, digits and '_'.
bool isIdentifier(std::string_view text);

// Register slot of an instruction operand: R0-R15 (0-15), ACC32 (16), FLAGS (17),
// MREG0-MREG13 (18-31).
std::optional<int> registerSlot(std::string_view name);
// R0-R15.
std::optional<int> coreRegister(std::string_view name);
// MREG0-MREG127: the memory register's number.
std::optional<int> memoryRegister(std::string_view name);
// SFR number 0-47 by name: IN0 ... NOISE (fxcore::kSfrNames).
std::optional<int> sfrNumber(std::string_view name);
// LFO0_SIN (0), LFO0_COS (1), LFO1_SIN (2) ... LFO3_COS (7).
std::optional<int> lfoOutput(std::string_view name);
// RAMP0, RAMP1.
std::optional<int> rampNumber(std::string_view name);
// USER0, USER1.
std::optional<int> userOutput(std::string_view name);

// Any of the names above.
bool isReservedName(std::string_view name);

}  // namespace fxasm
