// What the host knows of the audio library: APIs, device records, stream
// parameters, error kinds and the two callbacks. Device ids are positive; 0 names
// no device.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace brevlin::clap_host::standalone {

enum class AudioApi {
    Unspecified,
    LinuxAlsa,
    LinuxPulse,
    LinuxOss,
    UnixJack,
    MacosxCore,
    WindowsWasapi,
    WindowsAsio,
    WindowsDs,
    Dummy,
};

enum AudioErrorType : int {
    kAudioNoError = 0,
    kAudioWarning = 1,
    kAudioUnknownError = 2,
    kAudioNoDevicesFound,
    kAudioInvalidDevice,
    kAudioDeviceDisconnect,
    kAudioMemoryError,
    kAudioInvalidParameter,
    kAudioInvalidUse,
    kAudioDriverError,
    kAudioSystemError,
    kAudioThreadError,
    // Ours, not the library's: a call into the audio system did not return in
    // time (see LibraryThread).
    kAudioSystemNotAnswering,
};

using AudioFormat = unsigned long;
inline constexpr AudioFormat kAudioFloat32 = 0x10;

using AudioStreamFlags = unsigned int;
inline constexpr AudioStreamFlags kAudioNonInterleaved = 0x1;
inline constexpr AudioStreamFlags kAudioScheduleRealtime = 0x8;

using AudioStreamStatus = unsigned int;

struct AudioDeviceInfo {
    unsigned int ID = 0;
    std::string name;
    unsigned int outputChannels = 0;
    unsigned int inputChannels = 0;
    unsigned int duplexChannels = 0;
    bool isDefaultOutput = false;
    bool isDefaultInput = false;
    std::vector<unsigned int> sampleRates;
    unsigned int currentSampleRate = 0;
    unsigned int preferredSampleRate = 0;
    AudioFormat nativeFormats = 0;
};

struct AudioStreamParameters {
    unsigned int deviceId = 0;
    unsigned int nChannels = 0;
    unsigned int firstChannel = 0;
};

struct AudioStreamOptions {
    AudioStreamFlags flags = 0;
    unsigned int numberOfBuffers = 0;
    std::string streamName;
    int priority = 0;
};

// Called on the library's stream thread for every block; returns 0 to go on.
using AudioStreamCallback = int (*)(void* output, void* input, unsigned int frames, double streamTime,
                                    AudioStreamStatus status, void* userData);

// Called on whichever thread the library finds the problem.
using AudioErrorCallback = std::function<void(AudioErrorType type, const std::string& message)>;

}  // namespace brevlin::clap_host::standalone
