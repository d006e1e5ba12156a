#include "standalone/lifecycle.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "standalone/startup_settings.h"

namespace brevlin::clap_host::standalone {

namespace fs = std::filesystem;

// In this order, so that at exit the plug-in goes before the host object.
const clap_plugin_entry* entry = nullptr;
std::unique_ptr<StandaloneHost> standaloneHost;
std::shared_ptr<Clap::Plugin> plugin;

namespace {

// Never deleted; reachable, so no leak.
StandaloneHost* hostKeptForAStreamLeftBehind = nullptr;

// False when the settings file holds what start could neither use nor move aside.
bool settingsMayBeWritten = true;

// The folder of the plug-in's state files: the settings folder joined with the
// plug-in's id. An id that would not name a folder directly inside the settings
// folder (none at all, a path separator, "..", a leading dot) gets none, and so
// the plug-in gets no state files.
std::optional<fs::path> pluginDirectory(const fs::path& settings) {
    const clap_plugin_descriptor* descriptor = plugin->instance != nullptr ? plugin->instance->desc : nullptr;
    const char* id = descriptor != nullptr ? descriptor->id : nullptr;
    if (id == nullptr || id[0] == '\0' || id[0] == '.' || std::strchr(id, '/') != nullptr ||
        std::strstr(id, "..") != nullptr) {
        std::fprintf(stderr, "The plug-in id \"%s\" cannot name a settings folder: no state files are kept.\n",
                     id != nullptr ? id : "");
        return std::nullopt;
    }
    return settings / id;
}

}  // namespace

StandaloneHost* getStandaloneHost() {
    if (standaloneHost == nullptr) standaloneHost = std::make_unique<StandaloneHost>();
    return standaloneHost.get();
}

std::shared_ptr<Clap::Plugin> getMainPlugin() { return plugin; }

std::shared_ptr<Clap::Plugin> mainCreatePlugin(const clap_plugin_entry* pluginEntry, const std::string& clapId,
                                               uint32_t clapIdx, int, char** argv) {
    entry = pluginEntry;
    entry->init(argv != nullptr ? argv[0] : nullptr);
    const auto* factory = static_cast<const clap_plugin_factory*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
    if (factory == nullptr) return {};

    StandaloneHost* host = getStandaloneHost();
    plugin = clapId.empty() ? Clap::Plugin::createInstance(factory, static_cast<size_t>(clapIdx), host)
                            : Clap::Plugin::createInstance(factory, clapId, host);
    if (plugin == nullptr) return {};
    // A plug-in whose init failed has been destroyed already: nothing to host.
    if (plugin->instance == nullptr) {
        plugin.reset();
        return {};
    }

    host->clapPlugin = plugin;
    plugin->initialize();

    const auto settings = getStandaloneSettingsPath();
    const auto dir = settings ? pluginDirectory(*settings) : std::nullopt;
    settingsMayBeWritten = !dir || loadStateFilesAtStart(*host, *dir);
    return plugin;
}

void mainStartAudio() {
    StandaloneHost* host = getStandaloneHost();
    host->startMIDIThread();
    host->startAudioThread();
}

int mainWait() {
    while (standaloneHost != nullptr && standaloneHost->running.load(std::memory_order_acquire))
        std::this_thread::sleep_for(std::chrono::seconds(1));
    return 0;
}

int mainFinish() {
    if (standaloneHost != nullptr && plugin != nullptr) {
        standaloneHost->stopAudioThread();
        // Nothing changes the plug-in's state once audio has stopped: it is saved
        // before the MIDI inputs close, so that no fault in closing a device can
        // cost the user's settings.
        const auto settings = settingsMayBeWritten ? getStandaloneSettingsPath() : std::nullopt;
        if (const auto dir = settings ? pluginDirectory(*settings) : std::nullopt) {
            try {
                fs::create_directories(*dir);
                standaloneHost->saveStandaloneAndPluginSettings(*dir, kSettingsFileName);
            } catch (const fs::filesystem_error&) {
            }
        }
        standaloneHost->stopMIDIThread();
        standaloneHost->deactivatePlugin();
    }
    plugin.reset();
    // A stream whose library stopped answering may still run blocks into the host
    // and its plug-in: they stay for the rest of the process.
    if (standaloneHost != nullptr && standaloneHost->rtaDac != nullptr &&
        standaloneHost->rtaDac->stream.leftAStreamBehind())
        hostKeptForAStreamLeftBehind = standaloneHost.release();
    standaloneHost.reset();
    if (entry != nullptr) {
        entry->deinit();
        entry = nullptr;  // de-initialised once
    }
    return 0;
}

}  // namespace brevlin::clap_host::standalone
