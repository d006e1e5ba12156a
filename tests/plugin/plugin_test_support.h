// Helpers for the plug-in object tests: tiny assembled programs that announce
// themselves on OUT0, a firmware table built at run time and a fake CLAP host that
// counts what the plug-in asks of it.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "clap/clap.h"
#include "fxasm/assembler.h"
#include "fxasm/hex_writer.h"
#include "fxcore/fxcore_core.h"
#include "fxcoreplug/embedded_programs.h"
#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"

namespace plugtest {

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

// A program that writes `value` to OUT0 every sample. The value sits in a register
// preset, so the words and the presets of the image must both arrive for OUT0 to
// show it: words of one image with presets of another write 0 when the two use
// different registers. `extraWords` pads the program with writes to OUT1 so that
// images can differ in length too.
inline std::string constantImage(double value, int reg = 1, int extraWords = 0) {
    const std::string r = "R" + std::to_string(reg);
    std::string source = ".creg " + r + ", " + std::to_string(value) + "\n";
    source += "wrsfr " + r + ", OUT0\n";
    for (int i = 0; i < extraWords; ++i) source += "wrsfr " + r + ", OUT1\n";
    return hexOf(source);
}

// What OUT0 holds after the chip runs one sample of silence.
inline float outputAfterOneSample(fxcore::FXCoreCore& core) {
    core.run(nullptr);
    return core.getOutput(0);
}

// The chip's sample counter (SFR 46): samples run since the last chip reset.
inline int32_t samplesSinceReset(const fxcore::FXCoreCore& core) { return core.readSFR(46); }

// A firmware table assembled at run time. Rows keep their texts alive for as long
// as the table exists; `nullopt` control names give a row with a null pointer.
class Firmware {
public:
    Firmware& add(const std::string& name, const std::string& hex,
                  std::optional<std::string> controls = std::nullopt) {
        texts_.push_back({name, hex, controls.value_or(""), controls.has_value()});
        return *this;
    }

    std::span<const fxcoreplug::EmbeddedProgram> table() {
        rows_.clear();
        for (const Texts& t : texts_)
            rows_.push_back({t.name.c_str(), t.hex.c_str(), t.hasControls ? t.controls.c_str() : nullptr});
        return rows_;
    }

private:
    struct Texts {
        std::string name, hex, controls;
        bool hasControls;
    };
    std::deque<Texts> texts_;
    std::vector<fxcoreplug::EmbeddedProgram> rows_;
};

// A host that offers "clap.params" (unless told not to) and counts the callbacks
// asked for, the extension look-ups and the rescans with their flags. Counters are
// atomic: request_callback arrives on the audio thread.
struct FakeHost {
    clap_host host{};
    clap_host_params params{};
    bool offerParams = true;
    std::atomic<int> callbackRequests{0};
    std::atomic<int> paramsLookups{0};
    std::atomic<int> rescans{0};
    std::atomic<uint32_t> lastRescanFlags{0};

    FakeHost() {
        host.clap_version = CLAP_VERSION_INIT;
        host.host_data = this;
        host.name = "fake host";
        host.vendor = "tests";
        host.url = "";
        host.version = "1";
        host.get_extension = [](const clap_host* h, const char* id) -> const void* {
            FakeHost& self = of(h);
            if (std::strcmp(id, CLAP_EXT_PARAMS) != 0) return nullptr;
            self.paramsLookups.fetch_add(1);
            return self.offerParams ? &self.params : nullptr;
        };
        host.request_restart = [](const clap_host*) {};
        host.request_process = [](const clap_host*) {};
        host.request_callback = [](const clap_host* h) { of(h).callbackRequests.fetch_add(1); };
        params.rescan = [](const clap_host* h, clap_param_rescan_flags flags) {
            of(h).lastRescanFlags.store(flags);
            of(h).rescans.fetch_add(1);
        };
        params.clear = [](const clap_host*, clap_id, clap_param_clear_flags) {};
        params.request_flush = [](const clap_host*) {};
    }
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    static FakeHost& of(const clap_host* h) { return *static_cast<FakeHost*>(h->host_data); }
};

// Writes Program and Mode straight into their slots: Program may need values above
// the table maximum when a test firmware has more banks than the shipped one.
inline void select(fxcoreplug::FXCorePlugin& p, double program, double mode) {
    p.slotFor(fxcoreplug::param::kProgram)->store(program);
    p.slotFor(fxcoreplug::param::kMode)->store(mode);
}

// The mode list of a bank, or nullopt when the index names no bank.
inline std::optional<std::vector<int>> bankPrograms(const fxcoreplug::FXCorePlugin& p, int bank) {
    const fxcoreplug::FXCorePlugin::Bank* b = p.bankAt(bank);
    if (b == nullptr) return std::nullopt;
    return b->programs;
}

}  // namespace plugtest
