// Entry functions, the factory and the descriptor.
#include "fxcoreplug/clap_entry.h"

#include <unistd.h>

#include <cstring>

#include "fxcoreplug/fxcore_plugin.h"

namespace fxcoreplug {

const char* const kFeatures[] = {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, CLAP_PLUGIN_FEATURE_STEREO, nullptr};

const clap_plugin_descriptor s_descriptor = {
    CLAP_VERSION_INIT,
    "com.quendry.lumivex",
    "Lumivex",
    "Quendry",
    "https://quendry.com/lumivex",
    "",
    "",
    "0.1.0",
    "Lumivex -- FXCore emulation running the pedal's own firmware",
    kFeatures,
};

const clap_plugin_descriptor* descriptor() { return &s_descriptor; }

namespace {

int s_initCount = 0;               // main thread only
std::string s_bundleDirectory;     // main thread only

uint32_t factoryGetPluginCount(const clap_plugin_factory*) noexcept { return 1; }

const clap_plugin_descriptor* factoryGetPluginDescriptor(const clap_plugin_factory*, uint32_t index) noexcept {
    return index == 0 ? &s_descriptor : nullptr;
}

const clap_plugin* factoryCreatePlugin(const clap_plugin_factory*, const clap_host* host,
                                      const char* pluginId) noexcept {
    if (pluginId == nullptr || std::strcmp(pluginId, s_descriptor.id) != 0) return nullptr;
    try {
        return &(new FXCorePlugin(host))->plugin;
    } catch (...) {
        return nullptr;  // the constructor's allocations failed; the host gets no plug-in
    }
}

const clap_plugin_factory s_factory = {factoryGetPluginCount, factoryGetPluginDescriptor, factoryCreatePlugin};

}  // namespace

const clap_plugin_entry kPluginEntry = {CLAP_VERSION_INIT, fxcore_entry_init, fxcore_entry_deinit,
                                        fxcore_entry_get_factory};

namespace {

std::string directoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return path.substr(0, slash == 0 ? 1 : slash);
}

// Where the running program lives, the fall-back when the entry is given no usable path.
std::string executableDirectory() {
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0) return {};
    return directoryOf(std::string(buffer, static_cast<size_t>(length)));
}

}  // namespace

int entryInitCount() { return s_initCount; }

const std::string& entryBundleDirectory() { return s_bundleDirectory; }

}  // namespace fxcoreplug

extern "C" bool fxcore_entry_init(const char* pluginPath) noexcept {
    using fxcoreplug::s_bundleDirectory;
    if (fxcoreplug::s_initCount++ != 0) return true;
    // The panel toolkit finds the plug-in's files next to it: the directory of the
    // path, or of the running program when the path has none.
    try {
        s_bundleDirectory = pluginPath != nullptr ? fxcoreplug::directoryOf(pluginPath) : std::string();
        if (s_bundleDirectory.empty()) s_bundleDirectory = fxcoreplug::executableDirectory();
    } catch (...) {
        // Not initialised after all: a host that is refused calls no deinit, and a
        // later init tries again.
        s_bundleDirectory.clear();
        --fxcoreplug::s_initCount;
        return false;
    }
    return true;
}

extern "C" void fxcore_entry_deinit(void) noexcept {
    if (fxcoreplug::s_initCount > 0) --fxcoreplug::s_initCount;
}

extern "C" const void* fxcore_entry_get_factory(const char* factoryId) noexcept {
    if (factoryId == nullptr || std::strcmp(factoryId, CLAP_PLUGIN_FACTORY_ID) != 0) return nullptr;
    return &fxcoreplug::s_factory;
}
