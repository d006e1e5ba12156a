// Helpers for the plug-in object tests: tiny assembled programs that announce
// themselves on OUT0, firmware tables built at run time and a fake CLAP host that
// counts what the plug-in asks of it (all from tests/support), and reads of the
// chip and the bank table.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "fake_host.h"
#include "fxcore/fxcore_core.h"
#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"
#include "test_programs.h"

namespace plugtest {

using testsupport::constantProgram;
using testsupport::FakeHost;
using testsupport::Firmware;

// What OUT0 holds after the chip runs one sample of silence.
inline float outputAfterOneSample(fxcore::FXCoreCore& core) {
    core.run(nullptr);
    return core.getOutput(0);
}

// The chip's sample counter (SFR 46): samples run since the last chip reset.
inline int32_t samplesSinceReset(const fxcore::FXCoreCore& core) { return core.readSFR(46); }

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
