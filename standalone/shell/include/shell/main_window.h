// The program's main window "Lumivex": a menu bar (File: "Open State…", "Save State
// As…", "Audio/MIDI Settings…", "Quit") above a native X11 window that holds the
// plug-in's window, and the modal dialogs of the application: alerts and the
// state-file choosers.
//
// Quitting is asked for here (the window's close button, the Quit item, or
// requestQuit from a signal handler), also while a dialog or file chooser is
// open: every dialog goes, nothing half-chosen is returned, and the GTK main loop
// ends; the program then runs the application's quit steps once, outside any
// dialog. Main thread only; GTK must be initialised.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "shell/alert_sink.h"
#include "shell/main_window_port.h"

namespace brevlin::clap_host::standalone {

class ClapHostApp;

class MainWindow final : public MainWindowPort, public AlertSink {
public:
    static constexpr char kTitle[] = "Lumivex";
    // The title of the question whether to replace an existing state file.
    static constexpr char kReplaceTitle[] = "Replace State File";
    // The content before the plug-in says how big its window is.
    static constexpr int kInitialContentWidth = 400;
    static constexpr int kInitialContentHeight = 300;

    // One per program: it takes GDK's event handler, to see close requests that a
    // modal dialog's grab would hide.
    MainWindow();
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The application the menu items and size changes go to.
    void connect(ClapHostApp& app) { app_ = &app; }
    void show();
    // Ends the GTK main loop once; dialogs still open are dismissed, and none opens
    // any more.
    void requestQuit();
    bool quitRequested() const { return quitRequested_; }

    // MainWindowPort
    void orderFront() override;
    void setContentSize(uint32_t width, uint32_t height) override;
    void setUserResizable(bool resizable) override;
    unsigned long pluginParentWindow() override;
    std::optional<std::filesystem::path> chooseStateFileToSave(const std::filesystem::path& folder,
                                                               const std::string& name) override;
    std::optional<std::filesystem::path> chooseStateFileToOpen(const std::filesystem::path& folder) override;
    bool confirmReplace(const std::filesystem::path& file) override;

    // AlertSink: a modal message dialog, `title` as its title and first line.
    void showAlert(const std::string& title, const std::string& text) override;

    // The real widgets, for driving the window from outside (tests).
    GtkWindow* window() const { return window_; }
    GtkWidget* pluginArea() const { return pluginArea_; }
    GtkMenuItem* openItem() const { return openItem_; }
    GtkMenuItem* saveItem() const { return saveItem_; }
    GtkMenuItem* settingsItem() const { return settingsItem_; }
    GtkMenuItem* quitItem() const { return quitItem_; }

private:
    void buildMenu(GtkBox* content);
    // Runs `dialog` modally; it can be dismissed by requestQuit meanwhile.
    gint runModal(GtkDialog* dialog);
    std::optional<std::filesystem::path> chooseStateFile(GtkFileChooserAction action,
                                                         const std::filesystem::path& folder,
                                                         const std::string& name);
    // Every window but this one goes, and with it any modal loop that runs it.
    void dismissOtherWindows();
    // A resizable plug-in's area got a new size from the user.
    void contentAllocated(int width, int height);
    static gboolean applyPendingSize(gpointer window) noexcept;

    // GTK's signals, through C.
    template <void (ClapHostApp::*Action)()>
    static void menuAction(GtkMenuItem*, gpointer window) noexcept;
    static void openAudioSettings(GtkMenuItem*, gpointer window) noexcept;
    static void quitChosen(GtkMenuItem*, gpointer window) noexcept;
    static gboolean closeRequested(GtkWidget*, GdkEvent*, gpointer window) noexcept;
    static void filterEvent(GdkEvent* event, gpointer window) noexcept;
    static gboolean keyToHiddenFocus(GtkWidget* dialog, GdkEvent*, gpointer) noexcept;
    static void areaAllocated(GtkWidget*, GdkRectangle* allocation, gpointer window) noexcept;

    GtkWindow* window_ = nullptr;
    GtkWidget* menuBar_ = nullptr;
    GtkWidget* pluginArea_ = nullptr;
    GtkMenuItem* openItem_ = nullptr;
    GtkMenuItem* saveItem_ = nullptr;
    GtkMenuItem* settingsItem_ = nullptr;
    GtkMenuItem* quitItem_ = nullptr;
    ClapHostApp* app_ = nullptr;
    std::vector<GtkDialog*> runningDialogs_;  // innermost last
    bool quitRequested_ = false;
    bool resizable_ = false;
    // A size the plug-in asked for while GTK was laying out; applied when idle.
    guint pendingResize_ = 0;
    int pendingWidth_ = 0;
    int pendingHeight_ = 0;
};

}  // namespace brevlin::clap_host::standalone
