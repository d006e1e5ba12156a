#include <string>

#include "standalone/audio_device_choice.h"
#include "standalone/audio_device_prefs.h"
#include "standalone/call_shield.h"
#include "standalone/lifecycle.h"
#include "standalone/user_defaults.h"

namespace fxcore::standalone {

namespace {

using brevlin::clap_host::standalone::AudioLibrary;

// Main thread. Never destroyed: the timeout keeps pointing at it until the
// process ends, also during static destruction.
FXCoreAudioPrefsWatcher* processWatcher = nullptr;

std::string deviceName(AudioLibrary& library, uint32_t device) {
    return device != 0 ? library.devices.getDeviceInfo(device).name : std::string();
}

}  // namespace

FXCoreAudioPrefsWatcher& FXCoreAudioPrefsWatcher::startForProcess() {
    if (processWatcher == nullptr) {
        processWatcher = new FXCoreAudioPrefsWatcher;
        g_timeout_add(kTickMilliseconds, onTimeout, processWatcher);
        brevlin::clap_host::standalone::audioDevicesChosenByUser = [] {
            if (processWatcher != nullptr) processWatcher->userChoseRunningDevices();
        };
    }
    return *processWatcher;
}

FXCoreAudioPrefsWatcher* FXCoreAudioPrefsWatcher::forProcess() { return processWatcher; }

gboolean FXCoreAudioPrefsWatcher::onTimeout(gpointer watcher) noexcept {
    Clap::shielded("storing the audio devices", [watcher] { static_cast<FXCoreAudioPrefsWatcher*>(watcher)->tick(); });
    return G_SOURCE_CONTINUE;
}

std::optional<FXCoreAudioPrefsWatcher::RunningStream> FXCoreAudioPrefsWatcher::runningStream(bool withNames) {
    // The host is only looked at, never made: at quit it goes before the main
    // loop ends, and a late tick must not bring it back.
    auto* host = brevlin::clap_host::standalone::standaloneHost.get();
    if (host == nullptr || host->rtaDac == nullptr || !host->rtaDac->stream.isRunning()) return std::nullopt;
    if (host->streamSampleRate <= 0) return std::nullopt;
    RunningStream stream{{{}, {}, host->streamSampleRate}, host->currentInputDevice, host->currentOutputDevice};
    if (withNames) {
        stream.names.input = deviceName(*host->rtaDac, stream.in);
        stream.names.output = deviceName(*host->rtaDac, stream.out);
    }
    return stream;
}

void FXCoreAudioPrefsWatcher::rememberedAtStart(std::optional<AudioDeviceChoice> remembered) {
    _remembered = std::move(remembered);
    _primed = false;
}

void FXCoreAudioPrefsWatcher::userChoseRunningDevices() {
    // A choice that did not start leaves the remembered one as it was.
    const std::optional<RunningStream> stream = runningStream(true);
    if (!stream || stream->names.output.empty()) return;
    _remembered = stream->names;
    _primed = false;
}

void FXCoreAudioPrefsWatcher::tick() {
    std::optional<RunningStream> stream = runningStream(false);
    if (!stream) return;
    if (_primed && stream->in == _lastIn && stream->out == _lastOut && stream->names.rate == _lastRate) return;
    stream = runningStream(true);
    if (!stream) return;

    // Anything else is the program's stand-in while the remembered devices are
    // away (or a stream without output): it must not take their place.
    const AudioDeviceChoice& running = stream->names;
    if (!running.output.empty() && (!_remembered || *_remembered == running)) {
        UserDefaults defaults = UserDefaults::read();
        defaults.setString(kAudioInputDeviceKey, running.input);
        defaults.setString(kAudioOutputDeviceKey, running.output);
        defaults.setInteger(kAudioSampleRateKey, running.rate);
        // Not settled until it is on disk: the next tick tries again.
        if (!defaults.write()) return;
        _remembered = running;
    }
    _lastIn = stream->in;
    _lastOut = stream->out;
    _lastRate = running.rate;
    _primed = true;
}

}  // namespace fxcore::standalone
