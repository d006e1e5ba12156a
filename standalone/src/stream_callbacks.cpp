// The two callbacks the audio library calls: the stream's block and its error
// reports.
#include <pthread.h>

#include <algorithm>
#include <cstdio>

#include "standalone/audio_error_text.h"
#include "standalone/call_shield.h"
#include "standalone/standalone_host.h"

namespace brevlin::clap_host::standalone {

namespace {

// One block with everything it throws caught: a block that throws is silence and
// the stream goes on. Nothing is printed: this is the audio thread.
int processBlock(StandaloneHost& host, void* output, void* input, unsigned int frames) noexcept {
    try {
        host.clapProcess(output, input, frames);
    } catch (...) {
        if (output != nullptr)
            std::fill_n(static_cast<float*>(output), static_cast<size_t>(frames) * host.streamOutputChannels, 0.0f);
    }
    return 0;
}

}  // namespace

// When its server dies, JACK cancels the stream's thread, asynchronously: the
// unwind may start at any instruction, in the middle of the plug-in. A forced
// unwind that meets a noexcept frame or a catch (...) ends the program, and the
// block's frames have both. So cancellation is off while the block runs; one that
// came meanwhile acts as it is switched back on (the thread is asynchronously
// cancelable), and its unwind leaves through this frame, neither noexcept nor
// inside a handler, into the library's frames only. Ordinary exceptions never get
// this far: processBlock catches them.
int rtaCallback(void* output, void* input, unsigned int frames, double, AudioStreamStatus, void* userData) {
    int cancelState = PTHREAD_CANCEL_ENABLE;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &cancelState);
    const int result = processBlock(*static_cast<StandaloneHost*>(userData), output, input, frames);
    pthread_setcancelstate(cancelState, nullptr);
    return result;
}

const char* audioErrorText(AudioErrorType type) {
    switch (type) {
        case kAudioInvalidDevice:
        case kAudioInvalidParameter: return kDeviceGoneText;
        case kAudioDeviceDisconnect: return kDeviceDisconnectedText;
        case kAudioSystemNotAnswering: return kAudioSystemNotAnsweringText;
        default: return kNoAudioDeviceText;
    }
}

void rtaErrorCallback(StandaloneHost& host, AudioErrorType type, const std::string& message) noexcept {
    if (type == kAudioWarning || type == kAudioUnknownError) return;
    std::fprintf(stderr, "Audio: %s\n", message.c_str());
    Clap::shielded("showing an audio error", [&] { host.reportAudioError(audioErrorText(type)); });
}

}  // namespace brevlin::clap_host::standalone
