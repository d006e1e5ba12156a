// The user-output duty hand-off: `run` counts on the audio thread, the panel's
// timer reads and clears on the main thread. See the comment on the fields.
#include <algorithm>

#include "fxcore/fxcore_core.h"

namespace fxcore {

namespace {
// A float sum of ones stops growing at 2^24 (16777216 + 1 rounds back to 16777216);
// the averages keep that single-precision behaviour for very long gaps between reads.
constexpr uint32_t kFloatSumLimit = 1u << 24;
}  // namespace

void FXCoreCore::publishUserDuty() {
    // Only this thread writes the published totals. The odd sequence number marks a
    // write in progress; each field is a release store, so a reader that sees any new
    // field also sees the odd number when it checks the sequence again.
    const uint32_t seq = dutySeq.load(std::memory_order_relaxed);
    dutySeq.store(seq + 1, std::memory_order_relaxed);
    dutySamples.store(dutyWriter.samples, std::memory_order_release);
    dutyOn[0].store(dutyWriter.on[0], std::memory_order_release);
    dutyOn[1].store(dutyWriter.on[1], std::memory_order_release);
    dutyEpoch.store(dutyWriter.epoch, std::memory_order_release);
    dutySeq.store(seq + 2, std::memory_order_release);
}

void FXCoreCore::accumulateUserDuty() {
    // Totals wrap modulo 2^32; the reader works with differences, so a wrap is harmless
    // as long as fewer than 2^31 samples pass between two reads.
    dutyWriter.samples += 1;
    dutyWriter.on[0] += static_cast<uint32_t>(userOut[0] != 0);
    dutyWriter.on[1] += static_cast<uint32_t>(userOut[1] != 0);
    publishUserDuty();
}

void FXCoreCore::restartUserDuty() {
    dutyWriter.samples = 0;
    dutyWriter.on[0] = dutyWriter.on[1] = 0;
    dutyWriter.epoch += 1;
    publishUserDuty();
}

void FXCoreCore::readUserDuty(float* out) {
    DutyTotals now;
    for (;;) {
        const uint32_t before = dutySeq.load(std::memory_order_acquire);
        now.samples = dutySamples.load(std::memory_order_acquire);
        now.on[0] = dutyOn[0].load(std::memory_order_acquire);
        now.on[1] = dutyOn[1].load(std::memory_order_acquire);
        now.epoch = dutyEpoch.load(std::memory_order_acquire);
        const uint32_t after = dutySeq.load(std::memory_order_acquire);
        if (before == after && (before & 1u) == 0) break;
        // The audio thread was publishing; its write takes a handful of stores.
    }

    if (now.epoch != dutyReaderBase.epoch) {
        // The chip was reset since the last read: the sums and the last averages are 0.
        dutyReaderBase = DutyTotals{};
        dutyReaderBase.epoch = now.epoch;
        lastDuty[0] = lastDuty[1] = 0.0f;
    }

    const uint32_t count = now.samples - dutyReaderBase.samples;
    if (count >= 1) {
        // The count is an int32 in the chip; beyond 2^31 samples it stops growing.
        const uint32_t divisor = std::min<uint32_t>(count, 0x7FFFFFFFu);
        for (int i = 0; i < 2; ++i) {
            const uint32_t on = std::min(now.on[i] - dutyReaderBase.on[i], kFloatSumLimit);
            lastDuty[i] = static_cast<float>(on) / static_cast<float>(divisor);
        }
        dutyReaderBase = now;
    }
    out[0] = lastDuty[0];
    out[1] = lastDuty[1];
}

}  // namespace fxcore
