#include "standalone/audio_library.h"

#include <utility>

namespace brevlin::clap_host::standalone {

AudioLibrary::AudioLibrary(AudioApi api, AudioErrorCallback errorCallback, const AudioBackendFactory& factory,
                           std::chrono::milliseconds answerBound)
    : devices(api, factory, answerBound), stream(factory, answerBound), errorCallback_(std::move(errorCallback)) {}

AudioErrorType AudioLibrary::reported(AudioErrorType type, const std::string& message) const {
    if (type != kAudioNoError && errorCallback_) errorCallback_(type, message);
    return type;
}

AudioErrorType AudioLibrary::openOnce(const AudioStreamParameters* output, const AudioStreamParameters* input,
                                      AudioFormat format, unsigned int sampleRate, unsigned int* bufferFrames,
                                      AudioStreamCallback callback, void* userData,
                                      const AudioStreamOptions& options, std::string& message) {
    AudioStreamParameters out, in;
    for (auto [given, mapped] : {std::pair{output, &out}, std::pair{input, &in}}) {
        if (given == nullptr) continue;
        *mapped = *given;
        if (!devices.positionForOpen(given->deviceId, &mapped->deviceId)) {
            message = "AudioLibrary::openStream: device id " + std::to_string(given->deviceId) + " not found";
            return kAudioInvalidParameter;
        }
    }
    return stream.open(devices.getBackendApi(), output != nullptr ? &out : nullptr, input != nullptr ? &in : nullptr,
                       format, sampleRate, bufferFrames, callback, userData, options, message);
}

AudioErrorType AudioLibrary::openStream(AudioStreamParameters* output, AudioStreamParameters* input,
                                        AudioFormat format, unsigned int sampleRate, unsigned int* bufferFrames,
                                        AudioStreamCallback callback, void* userData, AudioStreamOptions* options) {
    if (output == nullptr && input == nullptr)
        return reported(kAudioInvalidUse, "AudioLibrary::openStream: input and output parameters are both missing");
    const AudioStreamOptions given = options != nullptr ? *options : AudioStreamOptions{};
    if (!given.streamName.empty()) devices.setOwnClient(given.streamName);
    const unsigned int frames = *bufferFrames;
    std::string message;
    AudioErrorType result =
        openOnce(output, input, format, sampleRate, bufferFrames, callback, userData, given, message);
    std::string lookFailure;
    if (result != kAudioNoError && result != kAudioSystemNotAnswering && !stream.isOpen() &&
        devices.refreshDevices(false, lookFailure) == kAudioNoError) {
        *bufferFrames = frames;
        result = openOnce(output, input, format, sampleRate, bufferFrames, callback, userData, given, message);
    }
    return reported(result, message);
}

AudioErrorType AudioLibrary::startStream() {
    std::string message;
    const AudioErrorType result = stream.start(message);
    return reported(result, message);
}

}  // namespace brevlin::clap_host::standalone
