// The audio devices as the host sees them: snapshots taken through a library
// object of the catalogue's own, which never opens a stream, so that a look at the
// devices can never touch the running stream.
//
// - device ids: a device keeps the id it was first seen with for the life of the
//   process (the first snapshot numbers them 1, 2, 3, ... by position); 0 names
//   no device. The library has no identity of its own for a device, so a device is
//   known by its name and channel layout: one that stays keeps its id when others
//   come or go, also others of the same name. Only devices alike in both are told
//   apart by their order, so when one of them goes, those after it move up. A
//   device whose layout changes, or that the library cannot probe (busy
//   elsewhere), keeps an id of its name that was present the time before;
// - every device record carries a current rate (the preferred one);
// - a look that fails, even after a few tries, leaves the snapshot before it as
//   it was; a look that does not answer (see LibraryThread) leaves the library
//   object behind, and the next look makes a fresh one;
// - the stream's own JACK client is left out of the snapshots.
//
// Main thread only. Nothing here reports to the user: callers decide.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "standalone/audio_api.h"
#include "standalone/audio_backend.h"
#include "standalone/library_thread.h"

namespace brevlin::clap_host::standalone {

class DeviceCatalogue {
public:
    // How many times one look enumerates the devices before it gives up.
    static constexpr int kLookTries = 3;

    DeviceCatalogue(AudioApi api, AudioBackendFactory factory, std::chrono::milliseconds bound);

    AudioApi getCurrentApi() const { return api_; }
    // The audio system of the last snapshot: the library's own choice when it was
    // asked for none.
    AudioApi getBackendApi() const { return backendApi_; }

    // Takes a snapshot: kAudioNoError, or how the look failed (`message` says
    // more); the snapshot before then stays. With `mayChooseSystem` (no stream is
    // open), a catalogue made for AudioApi::Unspecified first chooses its audio
    // system again once it has served a snapshot, so that a sound server started
    // since is found, and chooses once more when it sees no devices.
    AudioErrorType refreshDevices(bool mayChooseSystem, std::string& message);
    // Whether a look was made at all, answered or not.
    bool looked() const { return lastLook_.has_value(); }
    // How the last look ended.
    AudioErrorType lastLook() const { return lastLook_.value_or(kAudioNoError); }
    // A look was left behind not answering, at any time.
    bool leftALookBehind() const { return leftBehind_; }

    // The devices of the snapshot, in the library's order.
    std::vector<AudioDeviceInfo> getDevices() const;
    std::vector<unsigned int> getDeviceIds() const;
    std::vector<std::string> getDeviceNames() const;
    // False for an id the snapshot does not hold.
    bool findDevice(unsigned int deviceId, AudioDeviceInfo* info) const;
    // The record of a device; one with ID 0 for an id the snapshot does not hold.
    AudioDeviceInfo getDeviceInfo(unsigned int deviceId) const;
    unsigned int getDefaultInputDevice() const { return defaultDevice(true); }
    unsigned int getDefaultOutputDevice() const { return defaultDevice(false); }

    // The stream's own client: the snapshots leave it out.
    void setOwnClient(const std::string& name) { ownClient_ = name; }
    // Where the library numbers a device when it opens a stream, which happens
    // while the stream's own client is gone: the devices after that client in the
    // snapshot move up one. False for an id the snapshot does not hold.
    bool positionForOpen(unsigned int deviceId, unsigned int* position) const;

private:
    struct Present {
        unsigned int id;
        unsigned int position;  // in the library's numbering of the snapshot
        BackendDeviceInfo info;
    };
    struct Known {
        std::string name;
        bool layoutKnown;  // false while the device has been seen only unprobed
        unsigned int outputs, inputs, duplex;
        unsigned int id;
    };
    // What one look at the library found.
    struct Look {
        std::vector<Present> found;
        unsigned int count = 0;
        AudioApi api = AudioApi::Unspecified;
    };

    AudioErrorType takeSnapshot(std::string& message);
    void takeLook(const Look& look);
    // Gives each device of a new snapshot (ids 0) its id; present_ still holds the
    // one before.
    void assignIds(std::vector<Present>& found);
    const Present* findPresent(unsigned int id) const;
    const Present* atPosition(unsigned int position) const;
    unsigned int defaultDevice(bool input) const;
    AudioDeviceInfo toDeviceInfo(const Present& p) const;

    AudioApi api_;
    AudioApi backendApi_;
    AudioBackendFactory factory_;
    std::chrono::milliseconds bound_;
    // None before the first look, after a look that did not answer, and while the
    // audio system is to be chosen again.
    std::unique_ptr<LibraryThread> library_;
    bool libraryServed_ = false;  // the library has given a snapshot
    std::vector<Known> known_;
    std::vector<Present> present_;
    unsigned int nextId_ = 1;
    bool leftBehind_ = false;
    std::optional<AudioErrorType> lastLook_;  // none before the first look
    // The library's device count at the snapshot; none after the library changed.
    static constexpr unsigned int kNoCount = ~0u;
    unsigned int snapshotCount_ = kNoCount;
    std::string ownClient_;  // empty: none
    std::optional<unsigned int> ownPosition_;  // of the own client in the snapshot
};

}  // namespace brevlin::clap_host::standalone
