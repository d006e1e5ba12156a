// The application around the plug-in: launch, the set-up that creates the plug-in,
// embeds its window in the main window and starts audio and MIDI, the timer that
// serves the plug-in's callback and restart requests, the main window's size, the
// state-file actions and the orderly shutdown at quit.
//
// Main thread only. GTK is not touched here: the main window and the alerts are
// reached through MainWindowPort and AlertSink, so that the whole sequence runs in
// tests without a display. The timers are GLib sources on the default main context.
#pragma once

#include <glib.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "clap/clap.h"
#include "shell/alert_sink.h"
#include "shell/glib_main_loop.h"
#include "shell/main_window_port.h"
#include "standalone/plugin_proxy.h"
#include "standalone/standalone_host.h"
#include "standalone/state_files.h"

namespace brevlin::clap_host::standalone {

// The program's plug-in: the identifier of the Lumivex descriptor.
inline constexpr char kLumivexPluginId[] = "com.quendry.lumivex";
inline constexpr char kStateFileExtension[] = ".chstream";
inline constexpr char kStateFileSuggestedName[] = "Untitled";

inline constexpr char kPluginErrorTitle[] = "Plugin Error";
inline constexpr char kGuiCreateFailedText[] = "The plugin failed to create its user interface.";
inline constexpr char kGuiSizeFailedText[] = "The plugin failed to report its window size.";
inline constexpr char kGuiEmbedFailedText[] =
    "The plugin failed to embed its user interface. Please contact the plugin developer.";
inline constexpr char kNoPluginText[] = "The plugin could not be loaded, so the program runs without audio.";
inline constexpr char kAudioErrorTitle[] = "Unable to configure audio";
inline constexpr char kSaveFailedTitle[] = "Unable to save file";
inline constexpr char kOpenFailedTitle[] = "Unable to open file";

// "The plugin reported an invalid window size (W x H)."
std::string invalidWindowSizeText(uint32_t width, uint32_t height);

// Where a state file chosen as `chosen` is written: its extension, if any,
// replaced by ".chstream", in the same folder.
std::filesystem::path stateFilePathFor(std::filesystem::path chosen);

// The text of the "Unable to save file" alert for a save of `file` that ended with
// `outcome`; `replacing`: a file of that name was there before.
std::string saveFailedText(const std::filesystem::path& file, const StateFileOutcome& outcome, bool replacing);
// The text of the "Unable to open file" alert for an open of `file` that ended
// with `outcome`.
std::string openFailedText(const std::filesystem::path& file, const StateFileOutcome& outcome);

class ClapHostApp {
public:
    static constexpr guint kSetupDelayMs = 1;
    static constexpr guint kRequestTimerMs = 80;
    // Largest plug-in window side accepted, in pixels.
    static constexpr uint32_t kMaxWindowSide = 16384;

    // `entry` and `pluginId` name the plug-in to host; `argc` and `argv` are the
    // program's, passed on to the plug-in's creation.
    ClapHostApp(MainWindowPort& window, AlertSink& alerts, const clap_plugin_entry* entry, std::string pluginId,
                int argc, char** argv);
    // Takes the timers back; quit must have run for the plug-in to be shut down.
    ~ClapHostApp();
    ClapHostApp(const ClapHostApp&) = delete;
    ClapHostApp& operator=(const ClapHostApp&) = delete;

    // Schedules the set-up once, kSetupDelayMs later on the main loop.
    void applicationDidFinishLaunching();
    // Creates the plug-in, embeds its window and starts audio and MIDI; an alert
    // and an early end when the plug-in is missing or its window fails. Starts the
    // request timer first, whatever happens after.
    void doSetup();
    // The request timer's tick: the plug-in's main-thread callback, then its
    // restart, then the audio errors other threads have queued.
    void timerCallback();
    // The content size the window may take when the user drags it to width x
    // height: what the plug-in accepts, or its own size when it cannot resize.
    std::pair<uint32_t, uint32_t> windowWillResize(uint32_t width, uint32_t height);
    // The content has become width x height: a resizable plug-in window follows.
    void windowDidResize(uint32_t width, uint32_t height);
    // The state-file actions of the File menu. A save or open that did not work is
    // told with an alert; the choosers start in the folder of the last state file
    // saved or opened, else in the user's home folder.
    void saveStateFileAs();
    void openStateFile();
    // The orderly shutdown; the first call does it, later ones nothing.
    void applicationWillTerminate();

    bool requestTimerRunning() const { return requestTimer_ != 0; }
    bool terminated() const { return terminated_; }

private:
    // Steps of the set-up that embed the plug-in's window; false when it ended the
    // set-up with an alert.
    bool embedPluginWindow(const Clap::Plugin& plugin);
    void restartPlugin(StandaloneHost& host);
    // The notices start-up collected, as alerts: "Unable to open file" for settings
    // that were not used, "Unable to save file" for settings that will not be kept.
    void showStartupNotices();
    std::filesystem::path chooserFolder() const;

    static gboolean setupTimerFired(gpointer app) noexcept;
    static gboolean requestTimerFired(gpointer app) noexcept;

    MainWindowPort& window_;
    AlertSink& alerts_;
    const clap_plugin_entry* entry_;
    std::string pluginId_;
    int argc_;
    char** argv_;
    // Serves the plug-in's timers and descriptors for as long as it lives.
    GlibMainLoop pluginLoop_;
    guint setupTimer_ = 0;    // 0: not scheduled, or fired
    guint requestTimer_ = 0;  // 0: not running
    bool terminated_ = false;
    // The folder of the last state file saved or opened in this run.
    std::optional<std::filesystem::path> lastStateFolder_;
};

}  // namespace brevlin::clap_host::standalone
