#include "fake_audio.h"

#include <algorithm>

namespace satest {

AudioBackendFactory FakeAudioSystem::factory() {
    return [this](AudioApi) -> std::unique_ptr<AudioBackend> {
        if (failConstruction) throw AudioBackendError(kAudioDriverError, "no audio system here");
        ++backendsMade;
        return std::make_unique<FakeAudioBackend>(*this);
    };
}

std::vector<FakeDevice> FakeAudioBackend::visible() const {
    std::vector<FakeDevice> devices = system_.devices;
    std::lock_guard lock(system_.clientMutex);
    if (!system_.openClient.empty()) devices.push_back({system_.openClient, 2, 2, {48000}, 48000});
    return devices;
}

void FakeAudioBackend::probe() {
    ++system_.probes;
    if (system_.beforeProbe) system_.beforeProbe(system_.probes);
}

void FakeAudioSystem::releaseLookups() {
    std::unique_lock lock(gateMutex);
    lookupsHang = false;
    gate.notify_all();
    gate.wait(lock, [&] { return hanging == 0; });
}

unsigned int FakeAudioBackend::deviceCount() {
    if (hung_) throw AudioBackendError(kAudioDriverError, "released");
    if (system_.lookupsHang.load()) {
        hung_ = true;
        std::unique_lock lock(system_.gateMutex);
        ++system_.hanging;
        system_.gate.wait(lock, [&] { return !system_.lookupsHang.load(); });
        --system_.hanging;
        system_.gate.notify_all();
        throw AudioBackendError(kAudioDriverError, "released");
    }
    probe();
    if (system_.emptyCounts > 0) {
        --system_.emptyCounts;
        return 0;
    }
    return static_cast<unsigned int>(visible().size());
}

BackendDeviceInfo FakeAudioBackend::deviceInfo(unsigned int index) {
    if (hung_) throw AudioBackendError(kAudioDriverError, "released");
    probe();
    const std::vector<FakeDevice> devices = visible();
    if (index >= devices.size()) throw AudioBackendError(kAudioInvalidParameter, "device index out of range");
    BackendDeviceInfo info;
    if (system_.invalidProbes > 0) {
        --system_.invalidProbes;
        if (!running_ || !errors_) throw AudioBackendError(kAudioInvalidUse, "device ID is invalid!");
        ++system_.aborts;
        endThread();
        errors_(kAudioInvalidUse, "device ID is invalid!");
        return info;
    }
    if (system_.failedProbes > 0) {
        --system_.failedProbes;
        return info;
    }
    const FakeDevice& d = devices[index];
    info.name = d.name;
    if (!d.probed) return info;
    info.probed = true;
    info.inputChannels = d.inputs;
    info.outputChannels = d.outputs;
    info.duplexChannels = std::min(d.inputs, d.outputs);
    info.isDefaultInput = index == system_.defaultInput && d.inputs > 0;
    info.isDefaultOutput = index == system_.defaultOutput && d.outputs > 0;
    info.sampleRates = d.rates;
    info.preferredSampleRate = d.preferred;
    info.nativeFormats = kAudioFloat32;
    return info;
}

void FakeAudioBackend::openStream(const AudioStreamParameters* output, const AudioStreamParameters* input,
                                  AudioFormat, unsigned int sampleRate, unsigned int* frames,
                                  AudioStreamCallback callback, void* userData, AudioStreamOptions* options,
                                  AudioErrorSink errors) {
    if (open_) throw AudioBackendError(kAudioInvalidUse, "a stream is open already");
    for (const auto* p : {output, input}) {
        if (p == nullptr) continue;
        if (p->nChannels < 1) throw AudioBackendError(kAudioInvalidUse, "no channels asked for");
        if (p->deviceId >= visible().size()) throw AudioBackendError(kAudioInvalidParameter, "no such device");
    }
    if (system_.refusedOpens > 0) {
        --system_.refusedOpens;
        throw AudioBackendError(kAudioInvalidUse, "output device parameter value is invalid");
    }
    if (system_.openFailure != kAudioNoError) throw AudioBackendError(system_.openFailure, "the driver refuses");
    FakeAudioSystem::Open record;
    record.hasOutput = output != nullptr;
    record.hasInput = input != nullptr;
    if (output != nullptr) record.output = *output;
    if (input != nullptr) record.input = *input;
    record.rate = sampleRate;
    record.framesAsked = *frames;
    if (options != nullptr) record.options = *options;
    system_.opens.push_back(record);
    if (system_.chosenFrames != 0) *frames = system_.chosenFrames;
    open_ = true;
    streamName_ = options != nullptr ? options->streamName : "";
    system_.setOpenClient(streamName_);
    callback_ = callback;
    userData_ = userData;
    errors_ = std::move(errors);
    frames_ = *frames;
    inChannels_ = input != nullptr ? input->nChannels : 0;
    outChannels_ = output != nullptr ? output->nChannels : 0;
}

void FakeAudioBackend::startStream() {
    if (!open_) throw AudioBackendError(kAudioInvalidUse, "no stream open");
    ++system_.starts;
    if (thread_.joinable()) thread_.join();  // the thread of a stream the server took away
    running_.store(true, std::memory_order_release);
    thread_ = std::thread([this] {
        std::vector<float> in(static_cast<size_t>(frames_) * inChannels_);
        std::vector<float> out(static_cast<size_t>(frames_) * outChannels_);
        for (size_t i = 0; i < in.size(); ++i) in[i] = 0.001f * static_cast<float>(i + 1);
        while (running_.load(std::memory_order_acquire)) {
            if (const AudioErrorType failure = system_.streamFailure.exchange(kAudioNoError);
                failure != kAudioNoError) {
                running_.store(false, std::memory_order_release);
                errors_(failure, "the device went away");
                break;
            }
            if (system_.serverGoes.exchange(false)) {
                system_.setOpenClient("");
                open_.store(false, std::memory_order_release);  // running until closed, as RtAudio's state
                running_.store(false, std::memory_order_release);
                break;
            }
            if (system_.runBlocks.load(std::memory_order_acquire)) {
                callback_(outChannels_ > 0 ? out.data() : nullptr, inChannels_ > 0 ? in.data() : nullptr, frames_, 0.0,
                          0, userData_);
                system_.streamThreadBlocks.fetch_add(1, std::memory_order_release);
            }
            std::this_thread::yield();
        }
        system_.lastOutput = out;
    });
}

void FakeAudioBackend::endThread() {
    running_.store(false, std::memory_order_release);
    if (thread_.joinable()) thread_.join();
}

void FakeAudioBackend::stopStream() {
    if (!running_.load(std::memory_order_acquire))
        throw AudioBackendError(kAudioWarning, "the stream is stopped already");
    ++system_.stops;
    endThread();
}

void FakeAudioBackend::abortStream() {
    if (!running_.load(std::memory_order_acquire))
        throw AudioBackendError(kAudioWarning, "the stream is stopped already");
    ++system_.aborts;
    endThread();
}

void FakeAudioBackend::closeStream() {
    if (!open_) return;
    endThread();
    ++system_.closes;
    open_ = false;
    system_.setOpenClient("");
}

}  // namespace satest
