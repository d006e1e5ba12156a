// The standalone program's globals and the functions that bring its plug-in up,
// start audio and MIDI, and take everything down again at quit. Main thread only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "clap/clap.h"
#include "standalone/plugin_proxy.h"
#include "standalone/standalone_host.h"

namespace brevlin::clap_host::standalone {

inline constexpr char kSettingsDirectoryName[] = "clap-standalone-host";
inline constexpr char kDefaultsFileName[] = "defaults.claphost";
inline constexpr char kSettingsFileName[] = "settings.claphost";

extern const clap_plugin_entry* entry;
extern std::unique_ptr<StandaloneHost> standaloneHost;
extern std::shared_ptr<Clap::Plugin> plugin;

// The user's home directory: HOME when set, else the password database's entry;
// no value when neither names one.
std::optional<std::filesystem::path> userHomeDirectory();
// The user's data directory (XDG_DATA_HOME, else ~/.local/share) followed by
// "clap-standalone-host"; no value when neither can be found.
std::optional<std::filesystem::path> getStandaloneSettingsPath();

// Runs the entry's init, creates the host object and the plug-in (by identifier,
// or by index when the identifier is empty), writes "defaults.claphost" and applies
// "settings.claphost" when there is one, moving aside one the plug-in cannot use
// (startup_settings.h). Empty when no plug-in could be made.
std::shared_ptr<Clap::Plugin> mainCreatePlugin(const clap_plugin_entry* entry, const std::string& clapId,
                                               uint32_t clapIdx, int argc, char** argv);
void mainStartAudio();
std::shared_ptr<Clap::Plugin> getMainPlugin();
// The host object, made on first use.
StandaloneHost* getStandaloneHost();
int mainWait();
// Stops audio and MIDI, saves "settings.claphost" (not over settings that start
// could neither use nor move aside), stops processing and deactivates the plug-in
// where it had started, releases the plug-in and the host object, and
// de-initialises the entry.
int mainFinish();

}  // namespace brevlin::clap_host::standalone
