// The audio devices the stream last ran on, remembered in the user's defaults
// (user_defaults.h) by name together with the rate, so that the next start can
// use them again: installAudioDevicePrefs (standalone_entry.h) reads them at
// start-up, and the watcher below writes them while the stream runs. Nothing else
// writes these keys; device changes made in the settings window reach the
// defaults through the watcher. Main thread only.
#pragma once

#include <glib.h>

#include <cstdint>

namespace fxcore::standalone {

// The three keys, always written together.
inline constexpr char kAudioInputDeviceKey[] = "FXCoreAudioInputDevice";    // string, empty: no input
inline constexpr char kAudioOutputDeviceKey[] = "FXCoreAudioOutputDevice";  // string, empty: no output
inline constexpr char kAudioSampleRateKey[] = "FXCoreAudioSampleRate";      // integer, Hz

// Looks at the host's running stream on every tick and writes its devices' names
// and its rate to the user's defaults when they differ from what it wrote last;
// the first tick that finds a stream running always writes. While no stream runs,
// or its rate is not positive, it writes nothing.
class FXCoreAudioPrefsWatcher {
public:
    static constexpr guint kTickMilliseconds = 2000;

    // The process's one watcher, made with its repeating GLib timeout on the
    // default main context on the first call and kept to the end of the process.
    static FXCoreAudioPrefsWatcher& startForProcess();
    // That watcher, or null while none has been started.
    static FXCoreAudioPrefsWatcher* forProcess();

    void tick();

private:
    // The timeout's callback; `watcher` is the watcher. Keeps the timeout.
    static gboolean onTimeout(gpointer watcher) noexcept;

    // What was written last (device ids, 0 = none; the rate in Hz).
    uint32_t _lastIn = 0;
    uint32_t _lastOut = 0;
    int32_t _lastRate = 0;
    bool _primed = false;  // something has been written since start
};

}  // namespace fxcore::standalone
