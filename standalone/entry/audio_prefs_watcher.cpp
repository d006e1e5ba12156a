#include <string>

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
    return device != 0 ? library.getDeviceInfo(device).name : std::string();
}

}  // namespace

FXCoreAudioPrefsWatcher& FXCoreAudioPrefsWatcher::startForProcess() {
    if (processWatcher == nullptr) {
        processWatcher = new FXCoreAudioPrefsWatcher;
        g_timeout_add(kTickMilliseconds, onTimeout, processWatcher);
    }
    return *processWatcher;
}

FXCoreAudioPrefsWatcher* FXCoreAudioPrefsWatcher::forProcess() { return processWatcher; }

gboolean FXCoreAudioPrefsWatcher::onTimeout(gpointer watcher) noexcept {
    Clap::shielded("storing the audio devices", [watcher] { static_cast<FXCoreAudioPrefsWatcher*>(watcher)->tick(); });
    return G_SOURCE_CONTINUE;
}

void FXCoreAudioPrefsWatcher::tick() {
    // The host is only looked at, never made: at quit it goes before the main
    // loop ends, and a late tick must not bring it back.
    auto* host = brevlin::clap_host::standalone::standaloneHost.get();
    if (host == nullptr || host->rtaDac == nullptr || !host->rtaDac->isStreamRunning()) return;
    const int32_t rate = host->streamSampleRate;
    if (rate <= 0) return;
    const uint32_t in = host->currentInputDevice;
    const uint32_t out = host->currentOutputDevice;
    if (_primed && in == _lastIn && out == _lastOut && rate == _lastRate) return;
    _lastIn = in;
    _lastOut = out;
    _lastRate = rate;
    _primed = true;

    UserDefaults defaults = UserDefaults::read();
    defaults.setString(kAudioInputDeviceKey, deviceName(*host->rtaDac, in));
    defaults.setString(kAudioOutputDeviceKey, deviceName(*host->rtaDac, out));
    defaults.setInteger(kAudioSampleRateKey, rate);
    // A defaults file that cannot be written costs the user only the remembered
    // choice; nothing to tell them.
    defaults.write();
}

}  // namespace fxcore::standalone
