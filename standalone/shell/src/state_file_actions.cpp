// The File menu's state-file actions: the plug-in's state saved to, and loaded
// from, a ".chstream" file the user picks.
#include "shell/clap_host_app.h"
#include "standalone/lifecycle.h"

namespace brevlin::clap_host::standalone {

namespace fs = std::filesystem;

fs::path stateFilePathFor(fs::path chosen) { return chosen.replace_extension(kStateFileExtension); }

// A save that fails to write shows nothing; it leaves any file of that name as it
// was.
void ClapHostApp::saveStateFileAs() {
    const std::optional<fs::path> chosen = window_.chooseStateFileToSave();
    if (!chosen) return;
    try {
        const fs::path path = stateFilePathFor(*chosen);
        getStandaloneHost()->saveStandaloneAndPluginSettings(path.parent_path(), path.filename());
    } catch (const fs::filesystem_error& error) {
        alerts_.showAlert(kSaveFailedTitle, error.what());
    }
}

// Whether the plug-in accepted the state is not shown either.
void ClapHostApp::openStateFile() {
    const std::optional<fs::path> chosen = window_.chooseStateFileToOpen();
    if (!chosen) return;
    try {
        getStandaloneHost()->tryLoadStandaloneAndPluginSettings(chosen->parent_path(), chosen->filename());
    } catch (const fs::filesystem_error& error) {
        alerts_.showAlert(kOpenFailedTitle, error.what());
    }
}

}  // namespace brevlin::clap_host::standalone
