#include "standalone/audio_library.h"

#include <exception>
#include <utility>

namespace brevlin::clap_host::standalone {

void AudioLibrary::report(AudioErrorType type, const std::string& message) const {
    if (type == kAudioWarning && !showWarnings_.load(std::memory_order_acquire)) return;
    if (errorCallback_) errorCallback_(type, message);
}

template <class Call>
AudioErrorType AudioLibrary::guarded(Call&& call) {
    try {
        call();
        return kAudioNoError;
    } catch (const AudioBackendError& e) {
        report(e.type(), e.what());
        return e.type();
    } catch (const std::exception& e) {
        report(kAudioUnknownError, e.what());
        return kAudioUnknownError;
    } catch (...) {
        report(kAudioUnknownError, "unknown audio library failure");
        return kAudioUnknownError;
    }
}

AudioLibrary::AudioLibrary(AudioApi api, AudioErrorCallback errorCallback, const AudioBackendFactory& factory)
    : api_(api), errorCallback_(std::move(errorCallback)) {
    guarded([&] {
        backend_ = factory(api);
        if (backend_ != nullptr) backend_->showWarnings(false);  // they come to us instead
    });
}

AudioLibrary::~AudioLibrary() {
    // Closing the stream ends the backend's stream thread before anything of ours
    // goes away.
    if (backend_ != nullptr) guarded([&] {
            if (backend_->isStreamOpen()) backend_->closeStream();
        });
}

void AudioLibrary::assignIds(std::vector<Present>& found) {
    std::vector<bool> taken(known_.size(), false);
    // Gives the devices of one kind (probed or not) that have no id yet the first
    // free known id of their name that `fits`.
    auto match = [&](bool probed, auto fits) {
        for (Present& p : found) {
            if (p.id != 0 || p.info.probed != probed) continue;
            for (size_t k = 0; k < known_.size(); ++k) {
                Known& known = known_[k];
                if (taken[k] || known.name != p.info.name || !fits(known, p.info)) continue;
                taken[k] = true;
                p.id = known.id;
                if (probed)
                    known = {known.name, true, p.info.outputChannels, p.info.inputChannels, p.info.duplexChannels,
                             known.id};
                break;
            }
        }
    };
    // Probed devices by name and layout first, so that a device seen unprobed
    // cannot take the id of one that shows its layout.
    match(true, [](const Known& k, const BackendDeviceInfo& d) {
        return k.layoutKnown && k.outputs == d.outputChannels && k.inputs == d.inputChannels &&
               k.duplex == d.duplexChannels;
    });
    match(true, [](const Known& k, const BackendDeviceInfo&) { return !k.layoutKnown; });
    // A device whose layout changed (a sound server's device, reconfigured) or
    // that shows none: an id of its name that was present the time before.
    auto wasPresent = [this](const Known& k, const BackendDeviceInfo&) { return findPresent(k.id) != nullptr; };
    match(true, wasPresent);
    match(false, wasPresent);
    match(false, [](const Known&, const BackendDeviceInfo&) { return true; });
    for (Present& p : found) {
        if (p.id != 0) continue;
        known_.push_back({p.info.name, p.info.probed, p.info.outputChannels, p.info.inputChannels,
                          p.info.duplexChannels, nextId_});
        p.id = nextId_++;
    }
}

bool AudioLibrary::refresh() {
    if (backend_ == nullptr) {
        present_.clear();
        return false;
    }
    std::vector<Present> found;
    const AudioErrorType result = guarded([&] {
        const unsigned int count = backend_->deviceCount();
        for (unsigned int i = 0; i < count; ++i) found.push_back({0, backend_->deviceInfo(i)});
    });
    if (result != kAudioNoError) return false;
    assignIds(found);
    present_ = std::move(found);
    return true;
}

const AudioLibrary::Present* AudioLibrary::findPresent(unsigned int id) const {
    for (const Present& p : present_)
        if (p.id == id) return &p;
    return nullptr;
}

unsigned int AudioLibrary::idAtPosition(unsigned int position) const {
    return position < present_.size() ? present_[position].id : 0;
}

bool AudioLibrary::positionOf(unsigned int id, unsigned int* position) const {
    for (size_t i = 0; i < present_.size(); ++i) {
        if (present_[i].id != id) continue;
        *position = static_cast<unsigned int>(i);
        return true;
    }
    return false;
}

AudioDeviceInfo AudioLibrary::toDeviceInfo(const Present& p) const {
    AudioDeviceInfo info;
    info.ID = p.id;
    info.name = p.info.name;
    info.outputChannels = p.info.outputChannels;
    info.inputChannels = p.info.inputChannels;
    info.duplexChannels = p.info.duplexChannels;
    info.isDefaultOutput = p.info.isDefaultOutput;
    info.isDefaultInput = p.info.isDefaultInput;
    info.sampleRates = p.info.sampleRates;
    info.preferredSampleRate = p.info.preferredSampleRate;
    info.currentSampleRate = p.info.preferredSampleRate;
    info.nativeFormats = p.info.nativeFormats;
    return info;
}

std::vector<unsigned int> AudioLibrary::getDeviceIds() {
    refresh();
    std::vector<unsigned int> ids;
    for (const Present& p : present_) ids.push_back(p.id);
    return ids;
}

std::vector<std::string> AudioLibrary::getDeviceNames() {
    refresh();
    std::vector<std::string> names;
    for (const Present& p : present_) names.push_back(p.info.name);
    return names;
}

AudioDeviceInfo AudioLibrary::getDeviceInfo(unsigned int deviceId) {
    const Present* p = findPresent(deviceId);
    if (p == nullptr && refresh()) p = findPresent(deviceId);
    if (p == nullptr) {
        report(kAudioInvalidParameter, "AudioLibrary::getDeviceInfo: device id " + std::to_string(deviceId) +
                                           " not found");
        return {};
    }
    return toDeviceInfo(*p);
}

// The backend's answer when that device has channels in the direction; otherwise
// the first device flagged as default, then the first with channels at all.
unsigned int AudioLibrary::defaultDevice(bool input) {
    if (!refresh() || present_.empty()) return 0;
    unsigned int position = 0;
    if (guarded([&] { position = input ? backend_->defaultInputDevice() : backend_->defaultOutputDevice(); }) !=
        kAudioNoError)
        position = 0;
    auto channels = [input](const Present& p) { return input ? p.info.inputChannels : p.info.outputChannels; };
    if (position < present_.size() && channels(present_[position]) > 0) return idAtPosition(position);
    for (const Present& p : present_)
        if ((input ? p.info.isDefaultInput : p.info.isDefaultOutput) && channels(p) > 0) return p.id;
    for (const Present& p : present_)
        if (channels(p) > 0) return p.id;
    return 0;
}

unsigned int AudioLibrary::getDefaultInputDevice() { return defaultDevice(true); }
unsigned int AudioLibrary::getDefaultOutputDevice() { return defaultDevice(false); }

AudioErrorType AudioLibrary::openStream(AudioStreamParameters* output, AudioStreamParameters* input,
                                        AudioFormat format, unsigned int sampleRate, unsigned int* bufferFrames,
                                        AudioStreamCallback callback, void* userData, AudioStreamOptions* options) {
    if (backend_ == nullptr) {
        report(kAudioNoDevicesFound, "AudioLibrary::openStream: no audio library available");
        return kAudioNoDevicesFound;
    }
    if (isStreamOpen()) {
        report(kAudioInvalidUse, "AudioLibrary::openStream: a stream is already open");
        return kAudioInvalidUse;
    }
    if (output == nullptr && input == nullptr) {
        report(kAudioInvalidUse, "AudioLibrary::openStream: input and output parameters are both missing");
        return kAudioInvalidUse;
    }
    refresh();
    AudioStreamParameters out, in;
    for (auto [given, mapped] : {std::pair{output, &out}, std::pair{input, &in}}) {
        if (given == nullptr) continue;
        *mapped = *given;
        if (!positionOf(given->deviceId, &mapped->deviceId)) {
            report(kAudioInvalidParameter,
                   "AudioLibrary::openStream: device id " + std::to_string(given->deviceId) + " not found");
            return kAudioInvalidParameter;
        }
    }
    return guarded([&] {
        backend_->openStream(output != nullptr ? &out : nullptr, input != nullptr ? &in : nullptr, format,
                             sampleRate, bufferFrames, callback, userData, options,
                             [this](AudioErrorType type, const std::string& message) { report(type, message); });
    });
}

void AudioLibrary::closeStream() {
    if (backend_ == nullptr) return;
    guarded([&] {
        if (!backend_->isStreamOpen())
            throw AudioBackendError(kAudioWarning, "AudioLibrary::closeStream: no open stream to close");
        backend_->closeStream();
    });
}

AudioErrorType AudioLibrary::startStream() {
    if (backend_ == nullptr) return kAudioInvalidUse;
    return guarded([&] { backend_->startStream(); });
}

AudioErrorType AudioLibrary::stopStream() {
    if (backend_ == nullptr) return kAudioInvalidUse;
    return guarded([&] { backend_->stopStream(); });
}

bool AudioLibrary::isStreamOpen() const { return backend_ != nullptr && backend_->isStreamOpen(); }

bool AudioLibrary::isStreamRunning() const { return backend_ != nullptr && backend_->isStreamRunning(); }

}  // namespace brevlin::clap_host::standalone
