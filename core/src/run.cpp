// One audio sample: inputs, the delay line moving on, the peripherals, the
// program from its first word, then the overflow flags and user-duty sums.
#include "execute.h"
#include "fxcore/fxcore_core.h"
#include "fxcore/q31.h"

namespace fxcore {

void FXCoreCore::run(const float* in) {
    if (!loaded) return;

    writePos = (writePos - 1) & (kDelaySamples - 1);

    for (int k = 0; k < 4; ++k) {
        inputs[k] = in != nullptr ? q31::fromDouble(static_cast<double>(in[k])) : 0;
        sfr[k] = inputs[k];
    }

    updatePots();
    updateLFOs();
    updateSwitches();
    updateTapTempo();
    nextNoise();
    sfr[47] = q31::asSigned(noiseState);
    sfr[46] = q31::asSigned(sampleCount);
    regs[kFlags] = static_cast<int32_t>((tapFlags & 0xFFFFu) | (overflowFlags & 0xFFFFu));

    // Jumps only go forward, so each word runs at most once per sample.
    const int length = programLength;
    for (int pc = 0; pc < length;) pc = execute(decoded[pc], pc);

    updateOverflow();
    accumulateUserDuty();
    sampleCount += 1;
}

int FXCoreCore::step(int pc) {
    // Jump targets can lie past the program; such an index is never executed.
    if (static_cast<unsigned>(pc) >= static_cast<unsigned>(kProgramWords)) return pc + 1;
    return execute(decoded[pc], pc);
}

}  // namespace fxcore
