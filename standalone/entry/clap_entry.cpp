#include "fxcoreplug/clap_entry.h"

#include "standalone/call_shield.h"
#include "standalone/standalone_entry.h"

// Called by whoever loads the entry, through C: the device set-up may throw (the
// audio library, the defaults file), and a failure there must not take the plug-in's
// own initialisation with it, so it is reported and the entry still answers.
extern "C" bool fxcore_standalone_entry_init(const char* path) noexcept {
    const bool initialised = fxcore_entry_init(path);
    if (initialised) Clap::shielded("remembered audio devices", [] { fxcore::standalone::installAudioDevicePrefs(); });
    return initialised;
}

extern "C" const clap_plugin_entry_t clap_entry = {
    CLAP_VERSION_INIT,
    fxcore_standalone_entry_init,
    fxcore_entry_deinit,
    fxcore_entry_get_factory,
};
