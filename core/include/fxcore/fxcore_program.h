// One loaded program image: up to 1024 program words and the chip's initial
// state, read from an assembled FXCore program in Intel HEX text.
//
// HEX addresses say which part of the chip a byte belongs to: MREG from 0, CREG
// from 2048, the SFR block from 4096, program words from 6144; each section is
// closed by a 16-bit checksum. The loader never throws for bad input: a fatal
// problem is reported in Result::error, the rest in Result::warnings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fxcore/fxcore_core.h"

namespace fxcore {

class FXCoreProgram {
public:
    struct Result {
        bool ok = false;
        std::string error;                  // the one fatal message; empty when ok
        std::vector<std::string> warnings;  // non-fatal findings, in the order found
    };

    // HEX address layout of an image.
    static constexpr uint32_t kMregBase = 0;
    static constexpr uint32_t kCregBase = 2048;
    static constexpr uint32_t kSfrBase = 4096;
    static constexpr uint32_t kPrgBase = 6144;
    static constexpr uint32_t kAddressSpace = 10242;  // 1024 words and their checksum from 6144
    static constexpr uint32_t kSfrBlockBytes = 48;

    static FXCoreCore::Presets defaultPresets();

    Result loadFromText(const std::string& text);
    Result loadFromFile(const std::string& path);

    // setPresets, then setProgram; false (core unloaded) when there are no words.
    bool applyTo(FXCoreCore& core) const;

    std::vector<uint32_t> words;
    FXCoreCore::Presets presets = defaultPresets();
    std::string name;
};

}  // namespace fxcore
