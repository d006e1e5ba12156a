// The audio library as the host uses it: a catalogue of the devices and the
// stream's owner, each with a library object of its own behind the adapter's ids.
//
// - device ids are positive and stable within the process; 0 names no device
//   (DeviceCatalogue);
// - no exception leaves an operation: the failures of what the host asks for
//   (opening and starting the stream) reach the error callback with their type
//   and message and are returned; a look at the devices reports nothing;
// - no call into the audio system holds the main thread longer than the answer
//   bound (LibraryThread).
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "standalone/audio_api.h"
#include "standalone/audio_backend.h"
#include "standalone/device_catalogue.h"
#include "standalone/stream_owner.h"

namespace brevlin::clap_host::standalone {

class AudioLibrary {
public:
    AudioLibrary(AudioApi api, AudioErrorCallback errorCallback, const AudioBackendFactory& factory,
                 std::chrono::milliseconds answerBound);

    AudioApi getCurrentApi() const { return devices.getCurrentApi(); }

    // Opens a stream on the audio system of the devices' snapshot, naming the
    // devices by id. When the library refuses, the devices are looked at once more
    // and the open tried again before the failure is reported: the library numbers
    // the devices anew inside its open, and they may have moved since the
    // snapshot. `options->streamName` names the stream's own client, which the
    // snapshots then leave out.
    AudioErrorType openStream(AudioStreamParameters* output, AudioStreamParameters* input, AudioFormat format,
                              unsigned int sampleRate, unsigned int* bufferFrames, AudioStreamCallback callback,
                              void* userData = nullptr, AudioStreamOptions* options = nullptr);
    AudioErrorType startStream();

    // A call into the audio system was left behind not answering. Stuck inside
    // libjack, it may hold the lock that every JACK client's open and close takes.
    bool leftACallBehind() const { return devices.leftALookBehind() || stream.leftAStreamBehind(); }

    static std::vector<AudioApi> getCompiledApi() { return rtAudioCompiledApis(); }
    static std::string getApiName(AudioApi api) { return rtAudioApiName(api); }
    static std::string getApiDisplayName(AudioApi api) { return rtAudioApiDisplayName(api); }

    // Declared first, gone last: the stream's library goes before the catalogue's.
    DeviceCatalogue devices;
    StreamOwner stream;

private:
    AudioErrorType reported(AudioErrorType type, const std::string& message) const;
    // Maps the ids to positions and opens; the failure comes back unreported.
    AudioErrorType openOnce(const AudioStreamParameters* output, const AudioStreamParameters* input,
                            AudioFormat format, unsigned int sampleRate, unsigned int* bufferFrames,
                            AudioStreamCallback callback, void* userData, const AudioStreamOptions& options,
                            std::string& message);

    AudioErrorCallback errorCallback_;
};

}  // namespace brevlin::clap_host::standalone
