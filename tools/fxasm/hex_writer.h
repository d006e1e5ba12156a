// Writes a program image as Intel HEX text: the MREG, CREG, SFR and PRG sections
// at HEX addresses 0, 2048, 4096 and 6144, each closed by its 16-bit checksum.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "fxcore/fxcore_core.h"

namespace fxasm {

struct HexOutput {
    std::string text;   // empty when there is an error
    std::string error;  // a value that does not fit the image; empty on success
};

// 1 to 1024 words; pot shifts 0-31, timing values 0-65535 and user start states
// 0 or 1, as the preset block holds them.
HexOutput writeHex(std::span<const uint32_t> words, const fxcore::FXCoreCore::Presets& presets);

}  // namespace fxasm
