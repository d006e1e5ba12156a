// What the user is told when audio fails: what happened and what to do about it,
// in plain words. The audio library's own message, written for developers, goes
// to standard error instead.
#pragma once

#include <string>

#include "standalone/audio_api.h"

namespace brevlin::clap_host::standalone {

inline constexpr char kNoAudioDeviceText[] =
    "No audio device could be opened, so the pedal makes no sound. Check that your audio system is running, "
    "then choose a device in Audio/MIDI Settings… and press OK.";
inline constexpr char kDeviceGoneText[] =
    "The chosen audio device is no longer there, so the pedal makes no sound. Choose another device in "
    "Audio/MIDI Settings… and press OK.";
inline constexpr char kDeviceDisconnectedText[] =
    "The audio device was disconnected, so the pedal makes no sound. Reconnect it or choose another device in "
    "Audio/MIDI Settings…, then press OK.";
inline constexpr char kAudioServerStoppedText[] =
    "The audio server stopped, so the pedal makes no sound. Once the server runs again, open Audio/MIDI "
    "Settings… and press OK to start the sound again.";

inline constexpr char kAudioSystemNotAnsweringText[] =
    "The audio system does not answer, so the audio devices cannot be looked at or opened just now. Try again "
    "in Audio/MIDI Settings… and press OK.";

// The text for an error of this type (warnings and unknown errors are never shown).
const char* audioErrorText(AudioErrorType type);

}  // namespace brevlin::clap_host::standalone
