#include "standalone/device_catalogue.h"

#include <utility>

namespace brevlin::clap_host::standalone {

DeviceCatalogue::DeviceCatalogue(AudioApi api, AudioBackendFactory factory, std::chrono::milliseconds bound)
    : api_(api), backendApi_(api), factory_(std::move(factory)), bound_(bound) {}

AudioErrorType DeviceCatalogue::refreshDevices(bool mayChooseSystem, std::string& message) {
    const bool choosing = mayChooseSystem && api_ == AudioApi::Unspecified;
    // A library that has not served yet chose its system just now.
    if (choosing && libraryServed_) library_.reset();
    AudioErrorType result = takeSnapshot(message);
    // RtAudio chooses its audio system when it is made, by which one has devices
    // then; one probe that failed at that moment leaves it on a system without
    // any. Seeing none, the catalogue chooses once more.
    if (choosing && result != kAudioSystemNotAnswering && present_.empty()) {
        library_.reset();
        result = takeSnapshot(message);
    }
    lastLook_ = result;
    return result;
}

AudioErrorType DeviceCatalogue::takeSnapshot(std::string& message) {
    if (library_ == nullptr) {
        library_ = std::make_unique<LibraryThread>(factory_, api_, bound_);
        libraryServed_ = false;
        snapshotCount_ = kNoCount;  // the new library numbers its own devices
    }
    // Runs on the library's thread, and may outlive this call: it owns what it uses.
    const bool hadDevices = !present_.empty();
    Look look;
    const AudioErrorType result = library_->ask<Look>(
        [hadDevices](AudioBackend& library) {
            Look look;
            for (int tries = 1;; ++tries) {
                look = Look{};
                bool complete = true;
                try {
                    look.api = library.currentApi();
                    look.count = library.deviceCount();
                    // A count of none where there were devices may be the counting
                    // probe's own failure as well as a server that went.
                    if (look.count == 0 && hadDevices) complete = false;
                    for (unsigned int i = 0; i < look.count; ++i) {
                        BackendDeviceInfo info = library.deviceInfo(i);
                        if (!info.probed && info.name.empty()) complete = false;
                        look.found.push_back({0, i, std::move(info)});
                    }
                } catch (...) {
                    // Also a device that went between the count and its probe.
                    if (tries == kLookTries) throw;
                    continue;
                }
                if (complete || tries == kLookTries) break;
            }
            return look;
        },
        look, message);
    if (result == kAudioSystemNotAnswering) leftBehind_ = true;
    // Left behind, or never able to give a snapshot (an audio system that could
    // not be set up): the next look makes a fresh one.
    if (result == kAudioSystemNotAnswering || (result != kAudioNoError && !libraryServed_)) library_.reset();
    if (result != kAudioNoError) return result;
    libraryServed_ = true;
    takeLook(look);
    return kAudioNoError;
}

void DeviceCatalogue::takeLook(const Look& look) {
    std::vector<Present> devices;
    ownPosition_.reset();
    for (const Present& found : look.found) {
        Present p = found;
        if (!ownClient_.empty() && p.info.name == ownClient_) {
            ownPosition_ = p.position;
            continue;
        }
        if (!p.info.probed && p.info.name.empty()) {
            // Still not probed: the device at that position keeps its record while
            // the numbering stayed; otherwise nothing is known of it.
            const Present* before = look.count == snapshotCount_ ? atPosition(p.position) : nullptr;
            if (before == nullptr) continue;
            p.info = before->info;
        }
        devices.push_back(std::move(p));
    }
    assignIds(devices);
    present_ = std::move(devices);
    snapshotCount_ = look.count;
    backendApi_ = look.api;
}

void DeviceCatalogue::assignIds(std::vector<Present>& found) {
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

const DeviceCatalogue::Present* DeviceCatalogue::findPresent(unsigned int id) const {
    for (const Present& p : present_)
        if (p.id == id) return &p;
    return nullptr;
}

const DeviceCatalogue::Present* DeviceCatalogue::atPosition(unsigned int position) const {
    for (const Present& p : present_)
        if (p.position == position) return &p;
    return nullptr;
}

bool DeviceCatalogue::positionForOpen(unsigned int deviceId, unsigned int* position) const {
    const Present* p = findPresent(deviceId);
    if (p == nullptr) return false;
    *position = p->position - (ownPosition_ && *ownPosition_ < p->position ? 1 : 0);
    return true;
}

AudioDeviceInfo DeviceCatalogue::toDeviceInfo(const Present& p) const {
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

std::vector<AudioDeviceInfo> DeviceCatalogue::getDevices() const {
    std::vector<AudioDeviceInfo> devices;
    for (const Present& p : present_) devices.push_back(toDeviceInfo(p));
    return devices;
}

std::vector<unsigned int> DeviceCatalogue::getDeviceIds() const {
    std::vector<unsigned int> ids;
    for (const Present& p : present_) ids.push_back(p.id);
    return ids;
}

std::vector<std::string> DeviceCatalogue::getDeviceNames() const {
    std::vector<std::string> names;
    for (const Present& p : present_) names.push_back(p.info.name);
    return names;
}

bool DeviceCatalogue::findDevice(unsigned int deviceId, AudioDeviceInfo* info) const {
    const Present* p = findPresent(deviceId);
    if (p != nullptr && info != nullptr) *info = toDeviceInfo(*p);
    return p != nullptr;
}

AudioDeviceInfo DeviceCatalogue::getDeviceInfo(unsigned int deviceId) const {
    AudioDeviceInfo info;
    findDevice(deviceId, &info);
    return info;
}

// The first device flagged as default with channels in the direction, else the
// first with channels at all: what RtAudio's own default answers, read from the
// snapshot instead of from a second look at every device.
unsigned int DeviceCatalogue::defaultDevice(bool input) const {
    auto channels = [input](const Present& p) { return input ? p.info.inputChannels : p.info.outputChannels; };
    for (const Present& p : present_)
        if ((input ? p.info.isDefaultInput : p.info.isDefaultOutput) && channels(p) > 0) return p.id;
    for (const Present& p : present_)
        if (channels(p) > 0) return p.id;
    return 0;
}

}  // namespace brevlin::clap_host::standalone
