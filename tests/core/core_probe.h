// Read and write access to the chip's private state for tests.
#pragma once

#include <cstdint>

#include "fxcore/fxcore_core.h"

namespace fxcore {

struct CoreProbe {
    static const uint32_t* program(const FXCoreCore& c) { return c.program; }
    static int32_t programLength(const FXCoreCore& c) { return c.programLength; }
    static bool loaded(const FXCoreCore& c) { return c.loaded; }
    static int32_t& creg(FXCoreCore& c, int i) { return c.regs[i]; }
    static int32_t& acc32(FXCoreCore& c) { return c.regs[FXCoreCore::kAcc32]; }
    static int32_t& flags(FXCoreCore& c) { return c.regs[FXCoreCore::kFlags]; }
    static int32_t& mreg(FXCoreCore& c, int i) { return c.regs[FXCoreCore::kMregBase + i]; }
    static int32_t& sfr(FXCoreCore& c, int i) { return c.sfr[i]; }
    static int64_t& acc64(FXCoreCore& c) { return c.acc64; }
    static int32_t& writePos(FXCoreCore& c) { return c.writePos; }
    static uint32_t& sampleCount(FXCoreCore& c) { return c.sampleCount; }
    static uint32_t& noiseState(FXCoreCore& c) { return c.noiseState; }
    static int32_t& userOut(FXCoreCore& c, int i) { return c.userOut[i]; }
    static int32_t& potRaw(FXCoreCore& c, int i) { return c.potRaw[i]; }
    static int32_t& potLatched(FXCoreCore& c, int i) { return c.potLatched[i]; }
    static int32_t& potSmoothed(FXCoreCore& c, int i) { return c.potSmoothed[i]; }
    static double& lfoPhase(FXCoreCore& c, int i) { return c.lfoPhase[i]; }
    static uint32_t& ramp(FXCoreCore& c, int i) { return c.ramp[i]; }
    static uint32_t& switchState(FXCoreCore& c) { return c.switchState; }
    static int32_t& tapLevel(FXCoreCore& c) { return c.tapLevel; }
    static int32_t& tapHeld(FXCoreCore& c) { return c.tapHeld; }
    static int32_t& tapMeasuring(FXCoreCore& c) { return c.tapMeasuring; }
    static uint32_t& tapCount(FXCoreCore& c) { return c.tapCount; }
    static int32_t& inputs(FXCoreCore& c, int i) { return c.inputs[i]; }
    static int32_t& outputs(FXCoreCore& c, int i) { return c.outputs[i]; }
    static const FXCoreCore::Presets& presets(const FXCoreCore& c) { return c.presets; }
    // Raw 16-bit delay sample at an absolute index, read or written like the chip
    // does it (the copy of the first sample after the last one follows it).
    class DelaySample {
    public:
        DelaySample(FXCoreCore& c, int index) : core(c), at(static_cast<int32_t>(static_cast<unsigned>(index) & 32767u)) {}
        operator int16_t() const { return static_cast<int16_t>(core.readDelayDirect(at) >> 16); }
        DelaySample& operator=(int16_t v) {
            core.writeDelayDirect(at, static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(v)) << 16));
            return *this;
        }

    private:
        FXCoreCore& core;
        int32_t at;
    };
    static DelaySample delay(FXCoreCore& c, int index) { return {c, index}; }
    static const int16_t* delayData(const FXCoreCore& c) { return &c.delayMemory[0]; }
    // Register slot 0-31 as instructions see it.
    static int32_t slot(const FXCoreCore& c, unsigned s) { return c.regs[s & 31u]; }
    static void setSlot(FXCoreCore& c, unsigned s, int32_t v) { c.regs[s & 31u] = v; }
};

}  // namespace fxcore
