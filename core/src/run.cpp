// One audio sample: inputs, the delay line moving on, the peripherals, the
// program from its first word, then the overflow flags and user-duty sums.
// Also step(), which executes one word on its own.
#include <algorithm>
#include <climits>
#include <iterator>

#include "fxcore/fxcore_core.h"
#include "fxcore/q31.h"
#include "handlers.h"
#include "ops_alu.h"
#include "ops_modulated_reads.h"
#include "per_sample.h"

namespace fxcore {

void FXCoreCore::run(const float* in) {
    if (!loaded) return;

    writePos = (writePos - 1) & (kDelaySamples - 1);

    if (in != nullptr) {
        q31::fromFloats(in, inputs);
    } else {
        std::fill(std::begin(inputs), std::end(inputs), 0);
    }
    for (int k = 0; k < 4; ++k) sfr[IN0 + k] = inputs[k];

    updatePots();
    updateLFOs();
    updateRampTaps();
    updateSwitches();
    updateTapTempo();
    nextNoise();
    sfr[NOISE] = q31::asSigned(noiseState);
    sfr[SAMPLE_COUNT] = q31::asSigned(sampleCount);
    regs[kFlags] = static_cast<int32_t>((tapFlags & 0xFFFFu) | (overflowFlags & 0xFFFFu));

    runProgram();

    updateOverflow();
    accumulateUserDuty();
    sampleCount += 1;
}

void FXCoreCore::updateRampTaps() {
    if (rampTapSetsUsed == 0) return;
    for (unsigned set = 0; set < 8; ++set)
        if (rampTapSetsUsed & (1u << set)) rampTapSets[set] = rampTaps(static_cast<int>(set));
}

// The program once from its first word. Threaded dispatch: every handler jumps
// straight to the next word's handler, so each has its own well-predicted branch.
// Jumps only go forward and the word after the last one ends the program, so each
// word runs at most once per sample.
//
// Given handlerAddresses, it runs nothing and hands out its handlers' addresses,
// which decoding stores with each word. A label's address is only known inside its
// function, and is the same on every call only while the function exists once:
// hence no inlining and no cloning.
#if defined(__clang__)
__attribute__((noinline))
#else
__attribute__((noinline, noclone))
#endif
void FXCoreCore::runProgram(const void* const** handlerAddresses) {
    using namespace q31;
    static const void* const kHandlers[] = {
#define OP(number, ...) &&op_##number,
#include "opcodes.inc"
#undef OP
        &&op_skip, &&op_end,
    };
    static_assert(std::size(kHandlers) == handlers::kEnd + 1);
    if (handlerAddresses != nullptr) {
        *handlerAddresses = kHandlers;
        return;
    }

    const ThreadedWord* w = threaded;
    int32_t& X = regs[kAcc32];
    // Held in a register for the whole program rather than reloaded by every read.
    const int16_t* const delay = delayMemory.data();

#define DISPATCH() goto* w->handler
#define JUMP_IF(condition)        \
    if (condition) {              \
        w = threaded + d->addr;   \
        DISPATCH();               \
    }
#define RAMP_TAPS(set) rampTapSets[set]
#define DELAY delay
#define OP(number, mnemonic, format, ...)                     \
    op_##number : {                                           \
        [[maybe_unused]] const DecodedWord* const d = &w->word; \
        [[maybe_unused]] const int32_t A = regs[d->ra];       \
        [[maybe_unused]] const int32_t B = regs[d->rb];       \
        [[maybe_unused]] int32_t& R = regs[d->ra];            \
        __VA_ARGS__;                                          \
    }                                                         \
    ++w;                                                      \
    DISPATCH();

    DISPATCH();
#include "opcodes.inc"
op_skip:
    ++w;
    DISPATCH();
op_end:
    return;

#undef OP
#undef DELAY
#undef RAMP_TAPS
#undef JUMP_IF
#undef DISPATCH
}

int FXCoreCore::step(int pc) {
    using namespace q31;
    // Jump targets can lie past the program; such an index is never executed.
    if (static_cast<unsigned>(pc) >= static_cast<unsigned>(kProgramWords)) return pc + 1;

    const DecodedWord word = decodeWord(program[pc], pc, INT_MAX);
    const DecodedWord* const d = &word;
    const int32_t A = regs[d->ra];
    const int32_t B = regs[d->rb];
    int32_t& X = regs[kAcc32];
    int32_t& R = regs[d->ra];

#define JUMP_IF(condition) \
    if (condition) return d->addr
#define RAMP_TAPS(set) rampTaps(set)
#define DELAY delayMemory.data()
#define OP(number, mnemonic, format, ...) \
    case number: {                        \
        __VA_ARGS__;                      \
    } break;

    if (d->handler == handlers::kSkip) return pc + 1;  // an invalid word changes nothing
    switch (d->op) {
#include "opcodes.inc"
        default: break;
    }
    return pc + 1;

#undef OP
#undef DELAY
#undef RAMP_TAPS
#undef JUMP_IF
}

}  // namespace fxcore
