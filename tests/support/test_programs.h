// Chip programs assembled at run time for plug-in tests, and firmware tables
// (EmbeddedProgram rows) put together from them.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "fxasm/assembler.h"
#include "fxasm/hex_writer.h"
#include "fxcoreplug/embedded_programs.h"

namespace testsupport {

// Assembles `source` into HEX text; a source that does not assemble fails the test.
inline std::string hexOf(const std::string& source) {
    const fxasm::AsmOutput out = fxasm::assemble(source);
    std::string errors;
    for (const fxasm::AsmError& e : out.errors) errors += std::to_string(e.line) + ": " + e.message + "\n";
    EXPECT_TRUE(out.ok()) << source << "\n" << errors;
    const fxasm::HexOutput hex = fxasm::writeHex(out.words, out.presets);
    EXPECT_TRUE(hex.error.empty()) << hex.error;
    return hex.text;
}

// A program that writes `value` to OUT0 every sample. The value sits in a preset of
// register `reg`, so the words and the presets of the image must both arrive for
// OUT0 to show it: words of one image with presets of another write 0 when the two
// use different registers. `extraWords` pads the program with writes to OUT1 so
// that images can differ in length too.
inline std::string constantProgram(double value, int reg = 1, int extraWords = 0) {
    const std::string r = "R" + std::to_string(reg);
    std::string source = ".creg " + r + ", " + std::to_string(value) + "\n";
    source += "wrsfr " + r + ", OUT0\n";
    for (int i = 0; i < extraWords; ++i) source += "wrsfr " + r + ", OUT1\n";
    return hexOf(source);
}

// A firmware table put together at run time. The rows point into texts the table
// keeps (a copy points into its own); a row added without control names has a null
// pointer for them.
class Firmware {
public:
    Firmware() = default;
    Firmware(const Firmware& other) : texts_(other.texts_) { rebuildRows(); }
    Firmware& operator=(const Firmware& other) {
        texts_ = other.texts_;
        rebuildRows();
        return *this;
    }

    Firmware& add(const std::string& name, const std::string& hex) { return append({name, hex, "", false}); }
    Firmware& add(const std::string& name, const std::string& hex, const std::string& controls) {
        return append({name, hex, controls, true});
    }
    std::span<const fxcoreplug::EmbeddedProgram> table() const { return rows_; }

private:
    struct Texts {
        std::string name, hex, controls;
        bool hasControls;
    };

    Firmware& append(Texts texts) {
        texts_.push_back(std::move(texts));
        rebuildRows();
        return *this;
    }
    void rebuildRows() {
        rows_.clear();
        for (const Texts& t : texts_)
            rows_.push_back({t.name.c_str(), t.hex.c_str(), t.hasControls ? t.controls.c_str() : nullptr});
    }

    std::deque<Texts> texts_;
    std::vector<fxcoreplug::EmbeddedProgram> rows_;
};

}  // namespace testsupport
