// The audio devices the stream last ran on, remembered in the user's defaults
// (user_defaults.h) by name together with the rate, so that the next start can
// use them again: installAudioDevicePrefs (standalone_entry.h) reads them at
// start-up, and the watcher below writes them while the stream runs. Nothing else
// writes these keys. What the program falls back on while the remembered devices
// are away is never written over them: the remembered choice changes only when the
// user picks devices in the settings window (audio_device_choice.h). Main thread
// only.
#pragma once

#include <glib.h>

#include <cstdint>
#include <optional>
#include <string>

namespace fxcore::standalone {

// The three keys, always written together.
inline constexpr char kAudioInputDeviceKey[] = "FXCoreAudioInputDevice";    // string, empty: no input
inline constexpr char kAudioOutputDeviceKey[] = "FXCoreAudioOutputDevice";  // string, empty: no output
inline constexpr char kAudioSampleRateKey[] = "FXCoreAudioSampleRate";      // integer, Hz

// A choice of devices by name ("" for none) and rate.
struct AudioDeviceChoice {
    std::string input;
    std::string output;
    int32_t rate = 0;
    friend bool operator==(const AudioDeviceChoice&, const AudioDeviceChoice&) = default;
};

// Looks at the host's running stream on every tick and writes its devices' names
// and its rate to the user's defaults when they are the choice to remember and not
// written yet: the remembered devices themselves when they run (again), the
// devices the user chose in the settings window, or, when nothing is remembered,
// the first stream that runs. A stream without an output is never written: the
// settings window offers no such choice. A write that fails is tried again at the
// next tick. While no stream runs, or its rate is not positive, it writes nothing.
class FXCoreAudioPrefsWatcher {
public:
    static constexpr guint kTickMilliseconds = 2000;

    // The process's one watcher, made with its repeating GLib timeout on the
    // default main context on the first call and kept to the end of the process;
    // it takes the settings window's word of the user's choice from then on.
    static FXCoreAudioPrefsWatcher& startForProcess();
    // That watcher, or null while none has been started.
    static FXCoreAudioPrefsWatcher* forProcess();

    // What the defaults remember at start-up; none when they name no device.
    void rememberedAtStart(std::optional<AudioDeviceChoice> remembered);
    // The user has chosen the devices that run now: they are what to remember.
    void userChoseRunningDevices();
    void tick();

private:
    // The timeout's callback; `watcher` is the watcher. Keeps the timeout.
    static gboolean onTimeout(gpointer watcher) noexcept;
    // The running stream's device ids and rate, with the devices' names when asked
    // (the audio library is asked for them); none while no stream runs at a
    // positive rate.
    struct RunningStream {
        AudioDeviceChoice names;
        uint32_t in = 0, out = 0;
    };
    static std::optional<RunningStream> runningStream(bool withNames);

    // The stream last found settled, written or not to be written (device ids,
    // 0 = none; the rate in Hz): a stream that stays so needs no second look.
    uint32_t _lastIn = 0;
    uint32_t _lastOut = 0;
    int32_t _lastRate = 0;
    bool _primed = false;  // a stream has been settled since start or since the last choice
    std::optional<AudioDeviceChoice> _remembered;  // the choice to keep; none: the first stream's
};

}  // namespace fxcore::standalone
