// Hands custom program images from the main thread to the audio thread.
//
// Three image slots: the main thread owns one (it loads into it), the audio thread
// owns one (it installs from it) and the third sits in the middle. Publishing swaps
// the main thread's slot with the middle one and marks it fresh; the audio thread
// swaps its slot with a fresh middle one. Neither side ever touches the other's
// slot, nothing is freed or allocated on the audio thread, and no one waits.
#pragma once

#include <array>
#include <atomic>

#include "fxcore/fxcore_program.h"

namespace fxcoreplug {

class CustomProgramExchange {
public:
    // Main thread: the image to load into; it reaches the audio thread at publish().
    fxcore::FXCoreProgram& loading() { return slots[static_cast<size_t>(loadingSlot)]; }
    void publish();

    // Audio thread: the newest published image, or null when none was ever published.
    const fxcore::FXCoreProgram* latest();

private:
    static constexpr int kFresh = 4;  // flag beside the middle slot's index

    std::array<fxcore::FXCoreProgram, 3> slots{};
    int loadingSlot = 0;                 // main thread only
    std::atomic<int> middle{1};          // slot index | kFresh; exchanged by both (acq_rel)
    int installingSlot = 2;              // audio thread only
    bool installingValid = false;        // audio thread only
};

}  // namespace fxcoreplug
