#include "fxcoreplug/clap_entry.h"

#include "standalone/standalone_entry.h"

extern "C" bool fxcore_standalone_entry_init(const char* path) {
    const bool initialised = fxcore_entry_init(path);
    if (initialised) fxcore::standalone::installAudioDevicePrefs();
    return initialised;
}

extern "C" const clap_plugin_entry_t clap_entry = {
    CLAP_VERSION_INIT,
    fxcore_standalone_entry_init,
    fxcore_entry_deinit,
    fxcore_entry_get_factory,
};
