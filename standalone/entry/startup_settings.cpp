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
// where they went. False when they stay where they are: then nothing of this run
// may be written over them.
bool keepAsideAndTell(const fs::path& file, const std::string& why, const std::string& notWritable) {
    std::string text = "The pedal's saved settings " + quoted(file) + " could not be used: " + why +
                       ". The pedal starts from its defaults.";
    const KeptAside kept = keepAside(file);
    if (kept.path) {
        text += " The file was kept as " + quoted(*kept.path) + ".";
        if (!notWritable.empty()) text += " " + notKeptText(file.parent_path(), notWritable);
    } else {
        text += " It could not be moved aside (" + kept.reason +
                ") and stays as it is; the settings of this run will not be kept.";
    }
    notices.push_back({StartupNotice::Kind::SettingsNotLoaded, std::move(text)});
    return kept.path.has_value();
}

// The ways of giving `file` the name `kept` without replacing a file there, best
// first. Each answers 0, or the errno value of what failed: EEXIST when `kept` is
// taken.
int renameNoReplace(const fs::path& file, const fs::path& kept) {
    return noReplaceNaming.renameNoReplace(file.c_str(), kept.c_str()) == 0 ? 0 : errno;
}

int linkThenUnlink(const fs::path& file, const fs::path& kept) {
    if (noReplaceNaming.link(file.c_str(), kept.c_str()) != 0) return errno;
    ::unlink(file.c_str());
    return 0;
}

// The bytes of `in` to the end, written to `out`; 0 or the errno value of what failed.
int copyBytes(int in, int out) {
    StateFileWriter writer{out, false, 0};
    const clap_ostream stream{&writer, clapwrite};
    char buffer[16 * 1024];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : 0;
        if (clapwrite(&stream, buffer, static_cast<uint64_t>(n)) < 0) return writer.error;
    }
}

// The copy is on its way to the disk before the first name goes; a half copy goes.
int copyThenUnlink(const fs::path& file, const fs::path& kept) {
    const int in = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    const int out = noReplaceNaming.createNew(kept.c_str());
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return error;
    }
    int error = copyBytes(in, out);
    ::close(in);
    // A file system that cannot sync says EINVAL.
    if (error == 0 && ::fsync(out) != 0 && errno != EINVAL) error = errno;
    if (::close(out) != 0 && error == 0) error = errno;
    if (error != 0) {
        ::unlink(kept.c_str());
        return error == EEXIST ? EIO : error;  // not a name that was taken
    }
    ::unlink(file.c_str());
    return 0;
}

}  // namespace

NoReplaceNaming noReplaceNaming{
    [](const char* from, const char* to) { return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE); },
    ::link, [](const char* path) { return ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }};

// A rename that refuses to replace; on a file system that cannot refuse in a
// rename, a second name, which a link never makes over an existing one; on one
// that cannot link either (CIFS without Unix extensions, many FUSE file systems),
// a copy into a file that is only ever created new.
KeptAside keepAside(const fs::path& file) {
    const std::string stem = file.stem().string();
    const std::string extension = file.extension().string();
    int error = 0;
    for (const auto way : {renameNoReplace, linkThenUnlink, copyThenUnlink}) {
        for (int n = 1; n <= 1000; ++n) {
            const fs::path kept =
                file.parent_path() / (stem + ".refused" + (n > 1 ? "-" + std::to_string(n) : "") + extension);
            error = way(file, kept);
            if (error == 0) return {kept, {}};
            if (error != EEXIST) break;
        }
        if (error == EEXIST) break;  // every name is taken: no other way finds a free one
    }
    return {std::nullopt, systemText(error)};
}

bool loadStateFilesAtStart(StandaloneHost& host, const fs::path& dir) {
    using Kind = StateFileOutcome::Kind;
    std::string notWritable;  // why this run's settings cannot be kept; empty when they can
    std::error_code made;
    fs::create_directories(dir, made);
    if (made) {
        notWritable = made.message();
    } else {
        removeLeftoverTemporaryFiles(dir, {kSettingsFileName, kDefaultsFileName});
        const StateFileOutcome defaults = host.writeStateFile(dir, kDefaultsFileName);
        if (defaults.kind == Kind::NoPlugin) return true;
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
            return true;
        }
        const StateFileOutcome loaded = host.readStateFile(dir, kSettingsFileName);
        if (loaded.kind == Kind::Refused || loaded.kind == Kind::CannotRead) {
            return keepAsideAndTell(settings,
                                    loaded.kind == Kind::Refused
                                        ? std::string("it is not a settings file of this pedal")
                                        : "it could not be read (" + loaded.reason + ")",
                                    notWritable);
        }
    }
    if (!notWritable.empty()) notices.push_back({StartupNotice::Kind::SettingsNotKept, notKeptText(dir, notWritable)});
    return true;
}

std::vector<StartupNotice> takeStartupNotices() { return std::exchange(notices, {}); }

}  // namespace brevlin::clap_host::standalone
