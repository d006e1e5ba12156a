// The File menu's state-file actions: the plug-in's state saved to, and loaded
// from, a ".chstream" file the user picks. Whatever did not work is told: the user
// cannot see from the pedal whether a file was written, nor tell a refused file
// from one that holds the settings the pedal already has.
#include "shell/clap_host_app.h"
#include "standalone/lifecycle.h"

namespace brevlin::clap_host::standalone {

namespace fs = std::filesystem;

using Kind = StateFileOutcome::Kind;

fs::path stateFilePathFor(fs::path chosen) { return chosen.replace_extension(kStateFileExtension); }

namespace {

std::string quoted(const fs::path& file) { return "“" + file.string() + "”"; }

// Only for a name that holds something the question's answer could lose: the
// write to a folder fails on its own and says so.
bool holdsAFile(const fs::path& file) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(file, error);
    return fs::exists(status) && !fs::is_directory(status);
}

}  // namespace

std::string saveFailedText(const fs::path& file, const StateFileOutcome& outcome, bool replacing) {
    std::string text;
    switch (outcome.kind) {
        case Kind::NoPlugin: return "There is no plugin whose state could be saved to " + quoted(file) + ".";
        case Kind::Refused: text = "The plugin could not save its state to " + quoted(file) + "."; break;
        default: text = quoted(file) + " could not be written: " + outcome.reason + "."; break;
    }
    if (replacing) text += " The file that was there is kept as it was.";
    return text;
}

std::string openFailedText(const fs::path& file, const StateFileOutcome& outcome) {
    switch (outcome.kind) {
        case Kind::NoPlugin: return "There is no plugin to load " + quoted(file) + " into.";
        case Kind::Refused:
            return quoted(file) + " is not a pedal state file. The pedal keeps the settings it has.";
        default:
            return quoted(file) + " could not be read: " + outcome.reason + ". The pedal keeps the settings it has.";
    }
}

// Not the working directory, which is wherever the program was started from.
fs::path ClapHostApp::chooserFolder() const {
    std::error_code error;
    if (lastStateFolder_ && fs::is_directory(*lastStateFolder_, error)) return *lastStateFolder_;
    return fs::path(g_get_home_dir());
}

// GTK's own overwrite question would look at the typed name, not at the file that
// is written, so the question is asked here. Declining it goes back to the chooser
// with that file's name, as declining GTK's would.
void ClapHostApp::saveStateFileAs() {
    fs::path folder = chooserFolder();
    std::string name = kStateFileSuggestedName;
    for (;;) {
        const std::optional<fs::path> chosen = window_.chooseStateFileToSave(folder, name);
        if (!chosen) return;
        const fs::path file = stateFilePathFor(*chosen);
        const bool replacing = holdsAFile(file);
        if (replacing && !window_.confirmReplace(file)) {
            folder = file.parent_path();
            name = file.filename().string();
            continue;
        }
        try {
            const StateFileOutcome outcome = getStandaloneHost()->writeStateFile(file.parent_path(), file.filename());
            if (outcome.ok())
                lastStateFolder_ = file.parent_path();
            else
                alerts_.showAlert(kSaveFailedTitle, saveFailedText(file, outcome, replacing));
        } catch (const fs::filesystem_error& error) {
            alerts_.showAlert(kSaveFailedTitle, error.what());
        }
        return;
    }
}

// A refused file changes nothing: the plug-in reads a whole record before it
// applies any of it.
void ClapHostApp::openStateFile() {
    const std::optional<fs::path> chosen = window_.chooseStateFileToOpen(chooserFolder());
    if (!chosen) return;
    try {
        const StateFileOutcome outcome = getStandaloneHost()->readStateFile(chosen->parent_path(), chosen->filename());
        if (outcome.ok())
            lastStateFolder_ = chosen->parent_path();
        else
            alerts_.showAlert(kOpenFailedTitle, openFailedText(*chosen, outcome));
    } catch (const fs::filesystem_error& error) {
        alerts_.showAlert(kOpenFailedTitle, error.what());
    }
}

}  // namespace brevlin::clap_host::standalone
