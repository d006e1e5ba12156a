// The audio library as it really is underneath the adapter: devices are numbered
// by position from 0, failures are thrown, and errors on its own threads arrive
// through a sink the stream is opened with. RtAudioBackend is the real one; tests
// bring their own.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "standalone/audio_api.h"

namespace brevlin::clap_host::standalone {

class AudioBackendError : public std::runtime_error {
public:
    AudioBackendError(AudioErrorType type, const std::string& message) : std::runtime_error(message), type_(type) {}
    AudioErrorType type() const { return type_; }

private:
    AudioErrorType type_;
};

// A record with `probed` false and no name is what a probe that failed gives (RtAudio
// 5's JACK backend: its throw-away client could not connect); one with a name but
// not probed is a device seen but busy elsewhere.
struct BackendDeviceInfo {
    bool probed = false;
    std::string name;
    unsigned int outputChannels = 0;
    unsigned int inputChannels = 0;
    unsigned int duplexChannels = 0;
    bool isDefaultOutput = false;
    bool isDefaultInput = false;
    std::vector<unsigned int> sampleRates;
    unsigned int preferredSampleRate = 0;
    AudioFormat nativeFormats = 0;
};

// Where errors found after a stream was opened go (possibly on the stream thread).
using AudioErrorSink = std::function<void(AudioErrorType, const std::string&)>;

class AudioBackend {
public:
    virtual ~AudioBackend() = default;

    virtual AudioApi currentApi() = 0;
    virtual unsigned int deviceCount() = 0;
    virtual BackendDeviceInfo deviceInfo(unsigned int index) = 0;

    // Parameters name devices by position. `frames` is the size asked for and
    // receives the size chosen.
    virtual void openStream(const AudioStreamParameters* output, const AudioStreamParameters* input,
                            AudioFormat format, unsigned int sampleRate, unsigned int* frames,
                            AudioStreamCallback callback, void* userData, AudioStreamOptions* options,
                            AudioErrorSink errors) = 0;
    // Closing a running stream stops it without waiting for its buffers to drain.
    virtual void closeStream() = 0;
    virtual void startStream() = 0;
    // Stops after the buffers given to the device have played out. RtAudio 5's
    // JACK backend waits for that on a condition it may never see signalled, so
    // the adapter never calls this one.
    virtual void stopStream() = 0;
    // Stops at once, dropping what the device has not played yet.
    virtual void abortStream() = 0;
    virtual bool isStreamOpen() const = 0;
    virtual bool isStreamRunning() const = 0;
    virtual void showWarnings(bool show) = 0;
};

using AudioBackendFactory = std::function<std::unique_ptr<AudioBackend>(AudioApi api)>;

// RtAudio underneath, for `api`. Throws AudioBackendError when the library cannot
// be set up.
std::unique_ptr<AudioBackend> makeRtAudioBackend(AudioApi api);

std::vector<AudioApi> rtAudioCompiledApis();
std::string rtAudioApiName(AudioApi api);
std::string rtAudioApiDisplayName(AudioApi api);

}  // namespace brevlin::clap_host::standalone
