#include "standalone/startup_settings.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "standalone/lifecycle.h"
#include "standalone/state_files.h"

namespace brevlin::clap_host::standalone {

namespace fs = std::filesystem;

namespace {

// Main thread: filled by start-up, emptied by the application.
std::vector<StartupNotice> notices;

std::string systemText(int error) { return std::error_code(error, std::generic_category()).message(); }

std::string quoted(const fs::path& path) { return "\u201C" + path.string() + "\u201D"; }

std::string notKeptText(const fs::path& dir, const std::string& reason) {
    return "The pedal's settings cannot be saved in " + quoted(dir) + " (" + reason +
           "), so the settings of this run will not be kept.";
}

// Moves the settings in `file`, which were not used, aside and tells the user
// where they went.
void keepAsideAndTell(const fs::path& file, const std::string& why, const std::string& notWritable) {
    std::string text = "The pedal's saved settings " + quoted(file) + " could not be used: " + why +
                       ". The pedal starts from its defaults.";
    const KeptAside kept = keepAside(file);
    if (kept.path) {
        text += " The file was kept as " + quoted(*kept.path) + ".";
        if (!notWritable.empty()) text += " " + notKeptText(file.parent_path(), notWritable);
    } else if (!notWritable.empty()) {
        text += " It could not be moved aside (" + kept.reason +
                ") and stays as it is; the settings of this run will not be kept.";
    } else {
        text += " It could not be moved aside (" + kept.reason + "), so quitting will replace it.";
    }
    notices.push_back({StartupNotice::Kind::SettingsNotLoaded, std::move(text)});
}

}  // namespace

KeptAside keepAside(const fs::path& file) {
    const std::string stem = file.stem().string();
    const std::string extension = file.extension().string();
    int error = EEXIST;
    for (int n = 1; n <= 1000 && error == EEXIST; ++n) {
        const fs::path kept =
            file.parent_path() / (stem + ".refused" + (n > 1 ? "-" + std::to_string(n) : "") + extension);
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, kept.c_str(), RENAME_NOREPLACE) == 0) return {kept, {}};
        error = errno;
        if (error == EINVAL || error == ENOSYS) {
            // A file system that cannot refuse to replace in a rename: a second
            // name, which is never made over an existing one, then the first goes.
            if (::link(file.c_str(), kept.c_str()) == 0) {
                ::unlink(file.c_str());
                return {kept, {}};
            }
            error = errno;
        }
    }
    return {std::nullopt, systemText(error)};
}

void loadStateFilesAtStart(StandaloneHost& host, const fs::path& dir) {
    using Kind = StateFileOutcome::Kind;
    std::string notWritable;  // why this run's settings cannot be kept; empty when they can
    std::error_code made;
    fs::create_directories(dir, made);
    if (made) {
        notWritable = made.message();
    } else {
        removeLeftoverTemporaryFiles(dir, {kSettingsFileName, kDefaultsFileName});
        const StateFileOutcome defaults = host.writeStateFile(dir, kDefaultsFileName);
        if (defaults.kind == Kind::NoPlugin) return;
        if (defaults.kind == Kind::CannotWrite) notWritable = defaults.reason;
    }

    const fs::path settings = dir / kSettingsFileName;
    std::error_code looked;
    const fs::file_status status = fs::status(settings, looked);
    if (!looked && fs::exists(status)) {
        if (fs::is_directory(status)) {
            notices.push_back({StartupNotice::Kind::SettingsNotLoaded,
                               "The pedal's settings file " + quoted(settings) +
                                   " is a folder, so it can be neither read nor written. The pedal starts from its "
                                   "defaults, and the settings of this run will not be kept."});
            return;
        }
        const StateFileOutcome loaded = host.readStateFile(dir, kSettingsFileName);
        if (loaded.kind == Kind::Refused || loaded.kind == Kind::CannotRead) {
            keepAsideAndTell(settings,
                          loaded.kind == Kind::Refused ? std::string("it is not a settings file of this pedal")
                                                       : "it could not be read (" + loaded.reason + ")",
                          notWritable);
            return;
        }
    }
    if (!notWritable.empty()) notices.push_back({StartupNotice::Kind::SettingsNotKept, notKeptText(dir, notWritable)});
}

std::vector<StartupNotice> takeStartupNotices() { return std::exchange(notices, {}); }

}  // namespace brevlin::clap_host::standalone
