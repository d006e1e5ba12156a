#include "fxcoreplug/custom_program_exchange.h"

namespace fxcoreplug {

void CustomProgramExchange::publish() {
    // Release: the image written into the slot is visible to whoever takes it.
    loadingSlot = middle.exchange(loadingSlot | kFresh, std::memory_order_acq_rel) & ~kFresh;
}

const fxcore::FXCoreProgram* CustomProgramExchange::latest() {
    if (middle.load(std::memory_order_acquire) & kFresh) {
        installingSlot = middle.exchange(installingSlot, std::memory_order_acq_rel) & ~kFresh;
        installingValid = true;
    }
    return installingValid ? &slots[static_cast<size_t>(installingSlot)] : nullptr;
}

}  // namespace fxcoreplug
