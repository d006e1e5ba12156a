// The program's exported `clap_entry` (clap/entry.h) is the plug-in's entry with
// an init of its own: the plug-in's initialisation, then the standalone's
// remembered audio devices.
#pragma once

#include "clap/clap.h"

extern "C" bool fxcore_standalone_entry_init(const char* path) noexcept;

namespace fxcore::standalone {

// Sets the host's start-up device choice: the remembered devices as far as they
// are present and offer the remembered rate, or, when nothing is remembered, the
// system's default devices; and starts the process's device watcher
// (audio_device_prefs.h). Main thread, before audio starts.
void installAudioDevicePrefs();

}  // namespace fxcore::standalone
