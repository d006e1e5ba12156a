// The plug-in's state files at start-up, beyond writing the defaults and reading
// the settings: a settings file the plug-in could not use is moved aside before
// anything can overwrite it, temporary files of saves that were killed go, and
// what the user has to hear about (their settings were not used, or this run's
// will not be kept) is collected as notices that the application shows once its
// set-up has finished. Main thread only.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "standalone/standalone_host.h"

namespace brevlin::clap_host::standalone {

struct StartupNotice {
    enum class Kind {
        SettingsNotLoaded,  // the saved settings were not used (and perhaps this run's will not be kept)
        SettingsNotKept,    // the saved settings cannot be written: this run's will not be kept
    };
    Kind kind;
    std::string text;  // plain words for the user, naming the files
    friend bool operator==(const StartupNotice&, const StartupNotice&) = default;
};

// Where a file was moved aside, or, when it could not be, the system's words why.
struct KeptAside {
    std::optional<std::filesystem::path> path;
    std::string reason;
};

// The system's calls with which keepAside gives a file a second name without
// replacing one, each failing with -1 and errno set. Some network and FUSE file
// systems have neither the rename nor the link; a test puts in calls that fail as
// they do there.
struct NoReplaceNaming {
    int (*renameNoReplace)(const char* from, const char* to);  // renameat2 with RENAME_NOREPLACE
    int (*link)(const char* from, const char* to);
    int (*createNew)(const char* path);  // a new file open for writing (O_EXCL), its descriptor
};
extern NoReplaceNaming noReplaceNaming;

// Moves `file` to the first free name of "<stem>.refused<ext>", "<stem>.refused-2<ext>",
// ... in its folder, by a rename, a link or, failing both, a copy. A file already
// there is never replaced.
KeptAside keepAside(const std::filesystem::path& file);

// The start-up steps of the plug-in folder `dir`: makes it, removes leftover
// temporary files, writes "defaults.claphost", then loads "settings.claphost" when
// there is one, moving it aside when the plug-in refuses it or it cannot be read.
// Adds a notice for each thing the user must know. False when quit must not write
// "settings.claphost": it holds settings that were not used and could not be moved
// aside.
bool loadStateFilesAtStart(StandaloneHost& host, const std::filesystem::path& dir);

// The notices of start-up so far; each is given once.
std::vector<StartupNotice> takeStartupNotices();

}  // namespace brevlin::clap_host::standalone
