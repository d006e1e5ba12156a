#include "standalone/audio_library.h"

#include <exception>
#include <utility>

namespace brevlin::clap_host::standalone {

void AudioLibrary::report(AudioErrorType type, const std::string& message) const {
    if (type == kAudioWarning && !showWarnings_.load(std::memory_order_acquire)) return;
    if (errorCallback_) errorCallback_(type, message);
}

namespace {

// Runs one backend call; a failure comes back as its type and message.
template <class Call>
AudioErrorType attempt(Call&& call, std::string& message) {
    try {
        call();
        return kAudioNoError;
    } catch (const AudioBackendError& e) {
        message = e.what();
        return e.type();
    } catch (const std::exception& e) {
        message = e.what();
        return kAudioUnknownError;
    } catch (...) {
        message = "unknown audio library failure";
        return kAudioUnknownError;
    }
}

}  // namespace

template <class Call>
AudioErrorType AudioLibrary::guarded(Call&& call) {
    std::string message;
    const AudioErrorType type = attempt(call, message);
    if (type != kAudioNoError) report(type, message);
    return type;
}

AudioLibrary::AudioLibrary(AudioApi api, AudioErrorCallback errorCallback, const AudioBackendFactory& factory)
    : api_(api), errorCallback_(std::move(errorCallback)), factory_(factory) {
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

bool AudioLibrary::isOwnClient(const BackendDeviceInfo& info) const {
    return !ownClient_.empty() && info.name == ownClient_;
}

bool AudioLibrary::enumerate(std::vector<Present>& found, unsigned int& count, AudioErrorType& failure,
                             std::string& message) {
    found.clear();
    bool complete = true;
    // A failure is also a device that went between the count and its probe.
    failure = attempt(
        [&] {
            count = backend_->deviceCount();
            // A count of none where there were devices may be the counting probe's
            // own failure as well as a server that went.
            if (count == 0 && !present_.empty()) complete = false;
            for (unsigned int i = 0; i < count; ++i) {
                BackendDeviceInfo info = backend_->deviceInfo(i);
                if (!info.probed && info.name.empty()) complete = false;
                found.push_back({0, i, std::move(info)});
            }
        },
        message);
    return complete && failure == kAudioNoError;
}

bool AudioLibrary::refreshDevices() {
    const bool taken = takeSnapshot();
    // RtAudio chooses its audio system when it is made, by which one has devices
    // then; one probe that failed at that moment leaves it on a system without
    // any. Seeing none, the library chooses once more.
    if (!present_.empty() || api_ != AudioApi::Unspecified || isStreamOpen() || !remakeBackend()) return taken;
    return takeSnapshot();
}

bool AudioLibrary::takeSnapshot() {
    if (backend_ == nullptr) {
        present_.clear();
        haveSnapshot_ = true;
        return false;
    }
    std::vector<Present> found;
    unsigned int count = 0;
    AudioErrorType failure = kAudioNoError;
    std::string message;
    if (!enumerate(found, count, failure, message)) enumerate(found, count, failure, message);
    haveSnapshot_ = true;
    backendServed_ = true;
    if (failure != kAudioNoError) {
        report(failure, message);
        return false;
    }
    std::vector<Present> devices;
    for (Present& p : found) {
        if (isOwnClient(p.info)) continue;
        if (!p.info.probed && p.info.name.empty()) {
            // Still not probed: the device at that position keeps its record while
            // the numbering stayed; otherwise nothing is known of it.
            const Present* before = count == snapshotCount_ ? atPosition(p.position) : nullptr;
            if (before == nullptr) continue;
            p.info = before->info;
        }
        devices.push_back(std::move(p));
    }
    assignIds(devices);
    present_ = std::move(devices);
    snapshotCount_ = count;
    return true;
}

void AudioLibrary::ensureSnapshot() {
    if (!haveSnapshot_) refreshDevices();
}

void AudioLibrary::chooseAudioSystemAgain() {
    if (api_ != AudioApi::Unspecified || isStreamOpen()) return;
    if (backend_ != nullptr && !backendServed_) return;  // chosen just now
    remakeBackend();
}

bool AudioLibrary::remakeBackend() {
    if (!factory_) return false;
    std::unique_ptr<AudioBackend> next;
    guarded([&] {
        next = factory_(api_);
        if (next != nullptr) next->showWarnings(false);
    });
    if (next == nullptr) return false;  // the one there is stays
    backend_ = std::move(next);
    backendServed_ = false;
    snapshotCount_ = kNoCount;  // the new backend numbers its own devices
    return true;
}

const AudioLibrary::Present* AudioLibrary::findPresent(unsigned int id) const {
    for (const Present& p : present_)
        if (p.id == id) return &p;
    return nullptr;
}

const AudioLibrary::Present* AudioLibrary::atPosition(unsigned int position) const {
    for (const Present& p : present_)
        if (p.position == position) return &p;
    return nullptr;
}

bool AudioLibrary::positionOf(unsigned int id, unsigned int* position) const {
    const Present* p = findPresent(id);
    if (p != nullptr) *position = p->position;
    return p != nullptr;
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

std::vector<AudioDeviceInfo> AudioLibrary::getDevices() {
    ensureSnapshot();
    std::vector<AudioDeviceInfo> devices;
    for (const Present& p : present_) devices.push_back(toDeviceInfo(p));
    return devices;
}

std::vector<unsigned int> AudioLibrary::getDeviceIds() {
    ensureSnapshot();
    std::vector<unsigned int> ids;
    for (const Present& p : present_) ids.push_back(p.id);
    return ids;
}

std::vector<std::string> AudioLibrary::getDeviceNames() {
    ensureSnapshot();
    std::vector<std::string> names;
    for (const Present& p : present_) names.push_back(p.info.name);
    return names;
}

bool AudioLibrary::findDevice(unsigned int deviceId, AudioDeviceInfo* info) {
    ensureSnapshot();
    const Present* p = findPresent(deviceId);
    if (p != nullptr && info != nullptr) *info = toDeviceInfo(*p);
    return p != nullptr;
}

AudioDeviceInfo AudioLibrary::getDeviceInfo(unsigned int deviceId) {
    AudioDeviceInfo info;
    if (!findDevice(deviceId, &info))
        report(kAudioInvalidParameter, "AudioLibrary::getDeviceInfo: device id " + std::to_string(deviceId) +
                                           " not found");
    return info;
}

// The backend's answer when that device has channels in the direction; otherwise
// the first device flagged as default, then the first with channels at all.
unsigned int AudioLibrary::defaultDevice(bool input) {
    ensureSnapshot();
    if (backend_ == nullptr || present_.empty()) return 0;
    unsigned int position = 0;
    if (guarded([&] { position = input ? backend_->defaultInputDevice() : backend_->defaultOutputDevice(); }) !=
        kAudioNoError)
        position = 0;
    auto channels = [input](const Present& p) { return input ? p.info.inputChannels : p.info.outputChannels; };
    if (const Present* p = atPosition(position); p != nullptr && channels(*p) > 0) return p->id;
    for (const Present& p : present_)
        if ((input ? p.info.isDefaultInput : p.info.isDefaultOutput) && channels(p) > 0) return p.id;
    for (const Present& p : present_)
        if (channels(p) > 0) return p.id;
    return 0;
}

unsigned int AudioLibrary::getDefaultInputDevice() { return defaultDevice(true); }
unsigned int AudioLibrary::getDefaultOutputDevice() { return defaultDevice(false); }

// Maps the ids to the snapshot's positions and opens; a failure comes back with
// its message, unreported.
AudioErrorType AudioLibrary::openOnce(const AudioStreamParameters* output, const AudioStreamParameters* input,
                                      AudioFormat format, unsigned int sampleRate, unsigned int* bufferFrames,
                                      AudioStreamCallback callback, void* userData, AudioStreamOptions* options,
                                      std::string& message) {
    AudioStreamParameters out, in;
    for (auto [given, mapped] : {std::pair{output, &out}, std::pair{input, &in}}) {
        if (given == nullptr) continue;
        *mapped = *given;
        if (!positionOf(given->deviceId, &mapped->deviceId)) {
            message = "AudioLibrary::openStream: device id " + std::to_string(given->deviceId) + " not found";
            return kAudioInvalidParameter;
        }
    }
    return attempt(
        [&] {
            backend_->openStream(output != nullptr ? &out : nullptr, input != nullptr ? &in : nullptr, format,
                                 sampleRate, bufferFrames, callback, userData, options,
                                 [this](AudioErrorType type, const std::string& text) { report(type, text); });
        },
        message);
}

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
    if (options != nullptr && !options->streamName.empty()) ownClient_ = options->streamName;
    ensureSnapshot();
    const unsigned int frames = *bufferFrames;
    std::string message;
    AudioErrorType result = openOnce(output, input, format, sampleRate, bufferFrames, callback, userData, options,
                                     message);
    if (result != kAudioNoError && refreshDevices()) {
        if (isStreamOpen()) guarded([&] { backend_->closeStream(); });
        *bufferFrames = frames;
        result = openOnce(output, input, format, sampleRate, bufferFrames, callback, userData, options, message);
    }
    if (result != kAudioNoError) report(result, message);
    return result;
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
    return guarded([&] { backend_->abortStream(); });
}

bool AudioLibrary::isStreamOpen() const { return backend_ != nullptr && backend_->isStreamOpen(); }

bool AudioLibrary::isStreamRunning() const { return backend_ != nullptr && backend_->isStreamRunning(); }

}  // namespace brevlin::clap_host::standalone
