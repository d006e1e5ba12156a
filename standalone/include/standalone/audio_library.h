// The audio library as the host uses it, on top of an AudioBackend:
//
// - device ids: a device keeps the id it was first seen with for the life of the
//   process (the first enumeration numbers them 1, 2, 3, ... by position); 0 names
//   no device. The library has no identity of its own for a device, so a device is
//   known by its name and channel layout: one that stays keeps its id when others
//   come or go, also others of the same name. Only devices alike in both are told
//   apart by their order, so when one of them goes, those after it move up. A
//   device whose layout changes, or that the backend cannot probe (busy
//   elsewhere), keeps an id of its name that was present the time before;
// - every device record carries a current rate (the preferred one, where the
//   backend reports none of its own);
// - no exception leaves an operation: failures reach the error callback with their
//   type and message, and the operations that can fail also return that type;
// - warnings reach the error callback only after showWarnings(true).
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "standalone/audio_api.h"
#include "standalone/audio_backend.h"

namespace brevlin::clap_host::standalone {

class AudioLibrary {
public:
    // A library whose backend cannot be made reports that through the callback and
    // then behaves as one without devices.
    AudioLibrary(AudioApi api, AudioErrorCallback errorCallback, const AudioBackendFactory& factory);
    ~AudioLibrary();
    AudioLibrary(const AudioLibrary&) = delete;
    AudioLibrary& operator=(const AudioLibrary&) = delete;

    AudioApi getCurrentApi() const { return api_; }
    // The API the backend runs on: the library's own choice when it was asked for none.
    AudioApi getBackendApi() { return backend_ != nullptr ? backend_->currentApi() : api_; }

    // Takes a snapshot of the devices. False when the backend failed (reported);
    // the snapshot before then stays. A library made for AudioApi::Unspecified
    // that sees no devices chooses its audio system once more and looks again.
    bool refreshDevices();
    // For a library made for AudioApi::Unspecified, while no stream is open: makes
    // the backend anew, so that the audio system is chosen again (a sound server
    // started after this library was made is found). Device ids stay as they were.
    // Nothing when the backend has not served a snapshot yet.
    void chooseAudioSystemAgain();

    // The devices of the snapshot, in the backend's order.
    std::vector<AudioDeviceInfo> getDevices();
    std::vector<unsigned int> getDeviceIds();
    std::vector<std::string> getDeviceNames();
    // The record of a device; an unknown id reports an invalid parameter and gives
    // a record with ID 0.
    AudioDeviceInfo getDeviceInfo(unsigned int deviceId);
    // The same without a report: false for an id the snapshot does not hold.
    bool findDevice(unsigned int deviceId, AudioDeviceInfo* info);
    unsigned int getDefaultInputDevice();
    unsigned int getDefaultOutputDevice();

    // Names the devices to the backend by their positions in the snapshot. When the
    // backend refuses, the devices are looked at once more and the open tried again
    // before the failure is reported: the backend numbers the devices anew inside
    // its open, and they may have moved since the snapshot. `options->streamName`
    // names the stream's own client, which the snapshots then leave out.
    AudioErrorType openStream(AudioStreamParameters* output, AudioStreamParameters* input, AudioFormat format,
                              unsigned int sampleRate, unsigned int* bufferFrames, AudioStreamCallback callback,
                              void* userData = nullptr, AudioStreamOptions* options = nullptr);
    void closeStream();
    AudioErrorType startStream();
    // Stops without waiting for the device to drain (callers silence the stream
    // first): a drain may wait without bound in RtAudio 5's JACK backend.
    AudioErrorType stopStream();
    bool isStreamOpen() const;
    bool isStreamRunning() const;
    void showWarnings(bool show) { showWarnings_.store(show, std::memory_order_release); }

    static std::vector<AudioApi> getCompiledApi() { return rtAudioCompiledApis(); }
    static std::string getApiName(AudioApi api) { return rtAudioApiName(api); }
    static std::string getApiDisplayName(AudioApi api) { return rtAudioApiDisplayName(api); }

private:
    struct Present {
        unsigned int id;
        unsigned int position;  // in the backend's numbering of the snapshot
        BackendDeviceInfo info;
    };
    struct Known {
        std::string name;
        bool layoutKnown;  // false while the device has been seen only unprobed
        unsigned int outputs, inputs, duplex;
        unsigned int id;
    };

    // One enumeration of the backend: false when it should be taken again (a probe
    // failed, the count fell to none, or the backend threw: `failure` says how).
    bool enumerate(std::vector<Present>& found, unsigned int& count, AudioErrorType& failure, std::string& message);
    bool takeSnapshot();
    // Makes the backend anew for api_. False when it could not be made (reported).
    bool remakeBackend();
    // Takes a snapshot unless there is one.
    void ensureSnapshot();
    bool isOwnClient(const BackendDeviceInfo& info) const;
    AudioErrorType openOnce(const AudioStreamParameters* output, const AudioStreamParameters* input,
                            AudioFormat format, unsigned int sampleRate, unsigned int* bufferFrames,
                            AudioStreamCallback callback, void* userData, AudioStreamOptions* options,
                            std::string& message);
    // Gives each device of a new enumeration (ids 0) its id; present_ still holds
    // the one before.
    void assignIds(std::vector<Present>& found);
    const Present* findPresent(unsigned int id) const;
    const Present* atPosition(unsigned int position) const;
    bool positionOf(unsigned int id, unsigned int* position) const;
    unsigned int defaultDevice(bool input);
    AudioDeviceInfo toDeviceInfo(const Present& p) const;
    void report(AudioErrorType type, const std::string& message) const;

    template <class Call>
    AudioErrorType guarded(Call&& call);

    AudioApi api_;
    AudioErrorCallback errorCallback_;
    AudioBackendFactory factory_;
    std::atomic<bool> showWarnings_{false};
    std::vector<Known> known_;
    std::vector<Present> present_;
    unsigned int nextId_ = 1;
    bool haveSnapshot_ = false;
    bool backendServed_ = false;  // the backend has given a snapshot
    // The backend's device count at the snapshot; none after the backend changed.
    static constexpr unsigned int kNoCount = ~0u;
    unsigned int snapshotCount_ = kNoCount;
    std::string ownClient_;  // the stream name asked for; empty: none
    // Last, so that it goes first: its stream thread may still report while it ends.
    std::unique_ptr<AudioBackend> backend_;
};

}  // namespace brevlin::clap_host::standalone
