// RtAudio 5 underneath the audio adapter. RtAudio 5 throws RtAudioError where the
// adapter wants a typed error, and its error callback carries no context: the
// backend whose stream is open registers itself as the one the callback reaches
// (one stream at a time in this process). An RtAudio object with an open stream
// aborts that stream on any error it meets, a failed device probe included, so
// the host never probes through the object that holds its stream.
//
// ALSA and JACK print their own diagnostics to stderr, many lines for every probe
// of a machine without sound; the adapter reports what matters itself, so the
// libraries are kept quiet.
#include <RtAudio.h>
#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <atomic>
#include <iostream>
#include <mutex>
#include <type_traits>

#include "standalone/audio_backend.h"
#include "standalone/call_shield.h"

namespace brevlin::clap_host::standalone {

static_assert(static_cast<int>(AudioApi::UnixJack) == RtAudio::UNIX_JACK);
static_assert(static_cast<int>(AudioApi::Dummy) == RtAudio::RTAUDIO_DUMMY);
static_assert(std::is_same_v<AudioStreamCallback, RtAudioCallback>);
static_assert(kAudioFloat32 == RTAUDIO_FLOAT32);
static_assert(kAudioScheduleRealtime == RTAUDIO_SCHEDULE_REALTIME);

namespace {

AudioErrorType typeOf(RtAudioError::Type type) {
    switch (type) {
        case RtAudioError::WARNING:
        case RtAudioError::DEBUG_WARNING: return kAudioWarning;
        case RtAudioError::UNSPECIFIED: return kAudioUnknownError;
        case RtAudioError::NO_DEVICES_FOUND: return kAudioNoDevicesFound;
        case RtAudioError::INVALID_DEVICE: return kAudioInvalidDevice;
        case RtAudioError::MEMORY_ERROR: return kAudioMemoryError;
        case RtAudioError::INVALID_PARAMETER: return kAudioInvalidParameter;
        case RtAudioError::INVALID_USE: return kAudioInvalidUse;
        case RtAudioError::DRIVER_ERROR: return kAudioDriverError;
        case RtAudioError::SYSTEM_ERROR: return kAudioSystemError;
        case RtAudioError::THREAD_ERROR: return kAudioThreadError;
    }
    return kAudioUnknownError;
}

// Runs one library call, turning RtAudioError into AudioBackendError.
template <class Call>
auto translated(Call&& call) -> decltype(call()) {
    try {
        return call();
    } catch (const RtAudioError& e) {
        throw AudioBackendError(typeOf(e.getType()), e.getMessage());
    }
}

class RtAudioBackend;
std::atomic<RtAudioBackend*> s_streamOwner{nullptr};

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
void quietJack(const char*) {}

void quietenLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        snd_lib_error_set_handler(quietAlsa);
        jack_set_error_function(quietJack);
        jack_set_info_function(quietJack);
    });
}

class RtAudioBackend final : public AudioBackend {
public:
    explicit RtAudioBackend(AudioApi api) : audio_(translated([&] { return made(api); })) {}

    ~RtAudioBackend() override {
        try {
            if (audio_->isStreamOpen()) audio_->closeStream();
        } catch (const RtAudioError&) {
        }
        audio_.reset();
        RtAudioBackend* self = this;
        s_streamOwner.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
    }

    AudioApi currentApi() override { return static_cast<AudioApi>(audio_->getCurrentApi()); }

    unsigned int deviceCount() override {
        return translated([&] { return audio_->getDeviceCount(); });
    }

    BackendDeviceInfo deviceInfo(unsigned int index) override {
        const RtAudio::DeviceInfo in = translated([&] { return audio_->getDeviceInfo(index); });
        BackendDeviceInfo out;
        out.probed = in.probed;
        out.name = in.name;
        out.outputChannels = in.outputChannels;
        out.inputChannels = in.inputChannels;
        out.duplexChannels = in.duplexChannels;
        out.isDefaultOutput = in.isDefaultOutput;
        out.isDefaultInput = in.isDefaultInput;
        out.sampleRates = in.sampleRates;
        out.preferredSampleRate = in.preferredSampleRate;
        out.nativeFormats = in.nativeFormats;
        return out;
    }


    void openStream(const AudioStreamParameters* output, const AudioStreamParameters* input, AudioFormat format,
                    unsigned int sampleRate, unsigned int* frames, AudioStreamCallback callback, void* userData,
                    AudioStreamOptions* options, AudioErrorSink errors) override {
        RtAudio::StreamParameters out, in;
        if (output != nullptr) out = {output->deviceId, output->nChannels, output->firstChannel};
        if (input != nullptr) in = {input->deviceId, input->nChannels, input->firstChannel};
        RtAudio::StreamOptions rtOptions;
        if (options != nullptr) {
            rtOptions.flags = options->flags;
            rtOptions.numberOfBuffers = options->numberOfBuffers;
            rtOptions.streamName = options->streamName;
            rtOptions.priority = options->priority;
        }
        errors_ = std::move(errors);
        s_streamOwner.store(this, std::memory_order_release);
        translated([&] {
            audio_->openStream(output != nullptr ? &out : nullptr, input != nullptr ? &in : nullptr, format,
                               sampleRate, frames, callback, userData, options != nullptr ? &rtOptions : nullptr,
                               &RtAudioBackend::errorTrampoline);
        });
        if (options != nullptr) options->numberOfBuffers = rtOptions.numberOfBuffers;
    }

    void closeStream() override {
        translated([&] { audio_->closeStream(); });
    }
    void startStream() override {
        translated([&] { audio_->startStream(); });
    }
    void stopStream() override {
        translated([&] { audio_->stopStream(); });
    }
    // RtAudio's abort marks the drain done before it stops, so that the JACK
    // backend's stop does not wait for a signal it may have missed already.
    void abortStream() override {
        translated([&] { audio_->abortStream(); });
    }
    bool isStreamOpen() const override { return audio_->isStreamOpen(); }
    bool isStreamRunning() const override { return audio_->isStreamRunning(); }
    void showWarnings(bool show) override { audio_->showWarnings(show); }

private:
    // RtAudio's constructor tries the audio systems one after another and prints
    // the warnings of those it passes over (a sound server that is not running)
    // before its warnings can be switched off: they are not printed.
    static std::unique_ptr<RtAudio> made(AudioApi api) {
        quietenLibraries();
        std::streambuf* const printed = std::cerr.rdbuf(nullptr);
        struct Restore {
            std::streambuf* printed;
            ~Restore() {
                std::cerr.rdbuf(printed);
                std::cerr.clear();
            }
        } restore{printed};
        return std::make_unique<RtAudio>(static_cast<RtAudio::Api>(api));
    }

    static void errorTrampoline(RtAudioError::Type type, const std::string& message) noexcept {
        Clap::shielded("audio error report", [&] {
            RtAudioBackend* owner = s_streamOwner.load(std::memory_order_acquire);
            if (owner != nullptr && owner->errors_) owner->errors_(typeOf(type), message);
        });
    }

    std::unique_ptr<RtAudio> audio_;
    AudioErrorSink errors_;  // written only while no stream is open
};

}  // namespace

std::unique_ptr<AudioBackend> makeRtAudioBackend(AudioApi api) { return std::make_unique<RtAudioBackend>(api); }

std::vector<AudioApi> rtAudioCompiledApis() {
    std::vector<RtAudio::Api> apis;
    RtAudio::getCompiledApi(apis);
    std::vector<AudioApi> result;
    for (RtAudio::Api api : apis) result.push_back(static_cast<AudioApi>(api));
    return result;
}

std::string rtAudioApiName(AudioApi api) { return RtAudio::getApiName(static_cast<RtAudio::Api>(api)); }

std::string rtAudioApiDisplayName(AudioApi api) {
    return RtAudio::getApiDisplayName(static_cast<RtAudio::Api>(api));
}

}  // namespace brevlin::clap_host::standalone
