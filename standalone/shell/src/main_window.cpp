#include "shell/main_window.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <cstdio>

#include "shell/audio_settings_window.h"
#include "shell/clap_host_app.h"
#include "standalone/call_shield.h"

namespace brevlin::clap_host::standalone {

namespace {

GtkMenuItem* appendItem(GtkWidget* menu, const char* label) {
    GtkWidget* item = gtk_menu_item_new_with_label(label);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    return GTK_MENU_ITEM(item);
}

void appendSeparator(GtkWidget* menu) { gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new()); }

void addAccelerator(GtkMenuItem* item, GtkAccelGroup* accelerators, guint key, GdkModifierType modifiers) {
    gtk_widget_add_accelerator(GTK_WIDGET(item), "activate", accelerators, key, modifiers, GTK_ACCEL_VISIBLE);
}

// GTK's own event handling, which GDK calls when nobody else has taken its place.
void handOnToGtk(GdkEvent* event, gpointer) noexcept { gtk_main_do_event(event); }

}  // namespace

MainWindow::MainWindow() {
    window_ = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    gtk_window_set_title(window_, kTitle);
    // Fixed geometry until a plug-in that can take other sizes says otherwise: the
    // window is then exactly the menu bar over the plug-in's window.
    gtk_window_set_resizable(window_, FALSE);
    GtkWidget* content = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(window_), content);
    buildMenu(GTK_BOX(content));

    // A drawing area has an X window of its own, which the plug-in's window goes in.
    pluginArea_ = gtk_drawing_area_new();
    gtk_widget_set_size_request(pluginArea_, kInitialContentWidth, kInitialContentHeight);
    gtk_box_pack_start(GTK_BOX(content), pluginArea_, TRUE, TRUE, 0);

    g_signal_connect(window_, "delete-event", G_CALLBACK(closeRequested), this);
    g_signal_connect(pluginArea_, "size-allocate", G_CALLBACK(areaAllocated), this);
    gdk_event_handler_set(filterEvent, this, nullptr);
}

MainWindow::~MainWindow() {
    gdk_event_handler_set(handOnToGtk, nullptr, nullptr);
    if (pendingResize_ != 0) g_source_remove(pendingResize_);
    gtk_widget_destroy(GTK_WIDGET(window_));
}

void MainWindow::buildMenu(GtkBox* content) {
    GtkAccelGroup* accelerators = gtk_accel_group_new();
    gtk_window_add_accel_group(window_, accelerators);
    g_object_unref(accelerators);  // the window holds it

    GtkWidget* fileMenu = gtk_menu_new();
    gtk_menu_set_accel_group(GTK_MENU(fileMenu), accelerators);
    openItem_ = appendItem(fileMenu, "Open State…");
    addAccelerator(openItem_, accelerators, GDK_KEY_o, GDK_CONTROL_MASK);
    saveItem_ = appendItem(fileMenu, "Save State As…");
    addAccelerator(saveItem_, accelerators, GDK_KEY_s, static_cast<GdkModifierType>(GDK_CONTROL_MASK | GDK_SHIFT_MASK));
    appendSeparator(fileMenu);
    settingsItem_ = appendItem(fileMenu, "Audio/MIDI Settings…");
    appendSeparator(fileMenu);
    quitItem_ = appendItem(fileMenu, "Quit");
    addAccelerator(quitItem_, accelerators, GDK_KEY_q, GDK_CONTROL_MASK);

    g_signal_connect(openItem_, "activate", G_CALLBACK(menuAction<&ClapHostApp::openStateFile>), this);
    g_signal_connect(saveItem_, "activate", G_CALLBACK(menuAction<&ClapHostApp::saveStateFileAs>), this);
    g_signal_connect(settingsItem_, "activate", G_CALLBACK(openAudioSettings), this);
    g_signal_connect(quitItem_, "activate", G_CALLBACK(quitChosen), this);

    GtkWidget* file = gtk_menu_item_new_with_label("File");
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(file), fileMenu);
    menuBar_ = gtk_menu_bar_new();
    gtk_menu_shell_append(GTK_MENU_SHELL(menuBar_), file);
    gtk_box_pack_start(content, menuBar_, FALSE, FALSE, 0);
}

void MainWindow::show() { gtk_widget_show_all(GTK_WIDGET(window_)); }

void MainWindow::requestQuit() {
    if (quitRequested_) return;
    quitRequested_ = true;
    // Each dialog's own loop ends; the outer ones return once the inner ones have.
    for (auto it = runningDialogs_.rbegin(); it != runningDialogs_.rend(); ++it)
        gtk_dialog_response(*it, GTK_RESPONSE_DELETE_EVENT);
    dismissOtherWindows();
    if (gtk_main_level() > 0) gtk_main_quit();
}

// GTK runs dialogs of its own in loops of their own (a file chooser's error
// messages, for one), which nothing here could answer. Every modal loop ends when
// its window is unmapped, and no window but the main one has anything left to do.
void MainWindow::dismissOtherWindows() {
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item != nullptr; item = item->next)
        if (item->data != window_ && gtk_widget_get_visible(GTK_WIDGET(item->data)))
            gtk_widget_hide(GTK_WIDGET(item->data));
    g_list_free(toplevels);
}

void MainWindow::orderFront() {
    if (GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(window_))) gdk_window_raise(window);
}

void MainWindow::setContentSize(uint32_t width, uint32_t height) {
    const int w = static_cast<int>(std::min<uint32_t>(width, G_MAXINT16));
    const int h = static_cast<int>(std::min<uint32_t>(height, G_MAXINT16));
    if (!resizable_) {
        // A window that is not resizable takes the size its content asks for.
        gtk_widget_set_size_request(pluginArea_, w, h);
        return;
    }
    // The content's request is only the least size; the user may go below it as
    // far as the plug-in agrees.
    gtk_widget_set_size_request(pluginArea_, 1, 1);
    int menuHeight = 0;
    gtk_widget_get_preferred_height(menuBar_, nullptr, &menuHeight);
    gtk_window_resize(window_, w, h + menuHeight);
}

void MainWindow::setUserResizable(bool resizable) {
    resizable_ = resizable;
    gtk_window_set_resizable(window_, resizable ? TRUE : FALSE);
}

unsigned long MainWindow::pluginParentWindow() {
    gtk_widget_realize(pluginArea_);
    GdkWindow* window = gtk_widget_get_window(pluginArea_);
    if (window == nullptr || !GDK_IS_X11_WINDOW(window) || !gdk_window_ensure_native(window)) return 0;
    // The plug-in makes its window inside this one on a connection of its own: this
    // one must have been created on the server first.
    gdk_display_sync(gtk_widget_get_display(pluginArea_));
    return GDK_WINDOW_XID(window);
}

std::optional<std::filesystem::path> MainWindow::chooseStateFileToSave(const std::filesystem::path& folder,
                                                                   const std::string& name) {
    return chooseStateFile(GTK_FILE_CHOOSER_ACTION_SAVE, folder, name);
}

std::optional<std::filesystem::path> MainWindow::chooseStateFileToOpen(const std::filesystem::path& folder) {
    return chooseStateFile(GTK_FILE_CHOOSER_ACTION_OPEN, folder, {});
}

// GTK's own overwrite question stays off: it would ask about the typed name, while
// the file written gets the state file's extension. The application asks.
std::optional<std::filesystem::path> MainWindow::chooseStateFile(GtkFileChooserAction action,
                                                                 const std::filesystem::path& folder,
                                                                 const std::string& name) {
    if (quitRequested_) return std::nullopt;
    const bool saving = action == GTK_FILE_CHOOSER_ACTION_SAVE;
    GtkWidget* dialog =
        gtk_file_chooser_dialog_new(saving ? "Save State As" : "Open State", window_, action, "_Cancel",
                                    GTK_RESPONSE_CANCEL, saving ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, "Lumivex state (*.chstream)");
    gtk_file_filter_add_pattern(filter, "*.chstream");
    gtk_file_chooser_add_filter(chooser, filter);  // takes it
    gtk_file_chooser_set_select_multiple(chooser, FALSE);
    gtk_file_chooser_set_current_folder(chooser, folder.c_str());
    g_signal_connect(dialog, "key-press-event", G_CALLBACK(keyToHiddenFocus), nullptr);
    g_signal_connect(dialog, "key-release-event", G_CALLBACK(keyToHiddenFocus), nullptr);
    if (saving) {
        gtk_file_chooser_set_current_name(chooser, name.c_str());
        gtk_file_chooser_set_do_overwrite_confirmation(chooser, FALSE);
    }

    std::optional<std::filesystem::path> chosen;
    if (runModal(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT && !quitRequested_) {
        if (gchar* file = gtk_file_chooser_get_filename(chooser)) {
            chosen = std::filesystem::path(file);
            g_free(file);
        }
    }
    gtk_widget_destroy(dialog);
    return chosen;
}

bool MainWindow::confirmReplace(const std::filesystem::path& file) {
    if (quitRequested_) return false;
    const std::string name = file.filename().string();
    const std::string folder = file.parent_path().string();
    GtkWidget* dialog = gtk_message_dialog_new(
        window_, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), GTK_MESSAGE_QUESTION,
        GTK_BUTTONS_NONE, "A file named “%s” already exists. Do you want to replace it?", name.c_str());
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog),
                                             "It is in “%s”. Replacing it overwrites what it holds.",
                                             folder.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), kReplaceTitle);
    gtk_dialog_add_buttons(GTK_DIALOG(dialog), "_Cancel", GTK_RESPONSE_CANCEL, "_Replace", GTK_RESPONSE_ACCEPT,
                           nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    const bool replace = runModal(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT && !quitRequested_;
    gtk_widget_destroy(dialog);
    return replace;
}

void MainWindow::showAlert(const std::string& title, const std::string& text) {
    if (quitRequested_) {
        // Nobody would see it any more, and waiting for an answer would hold up quit.
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
        return;
    }
    GtkWidget* dialog = gtk_message_dialog_new(window_, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                                               GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s", title.c_str());
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
    runModal(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

gint MainWindow::runModal(GtkDialog* dialog) {
    runningDialogs_.push_back(dialog);
    const gint response = gtk_dialog_run(dialog);
    runningDialogs_.erase(std::find(runningDialogs_.begin(), runningDialogs_.end(), dialog));
    return response;
}

void MainWindow::contentAllocated(int width, int height) {
    if (!resizable_ || app_ == nullptr || width <= 0 || height <= 0) return;
    const auto [acceptedWidth, acceptedHeight] =
        app_->windowWillResize(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    if (acceptedWidth == static_cast<uint32_t>(width) && acceptedHeight == static_cast<uint32_t>(height)) {
        app_->windowDidResize(acceptedWidth, acceptedHeight);
        return;
    }
    // Resizing now would start a new layout inside this one.
    pendingWidth_ = static_cast<int>(acceptedWidth);
    pendingHeight_ = static_cast<int>(acceptedHeight);
    if (pendingResize_ == 0) pendingResize_ = g_idle_add(applyPendingSize, this);
}

gboolean MainWindow::applyPendingSize(gpointer window) noexcept {
    auto* self = static_cast<MainWindow*>(window);
    self->pendingResize_ = 0;
    Clap::shielded("window size", [self] {
        self->setContentSize(static_cast<uint32_t>(self->pendingWidth_), static_cast<uint32_t>(self->pendingHeight_));
    });
    return G_SOURCE_REMOVE;
}

template <void (ClapHostApp::*Action)()>
void MainWindow::menuAction(GtkMenuItem*, gpointer window) noexcept {
    auto* self = static_cast<MainWindow*>(window);
    Clap::shielded("menu action", [self] {
        if (self->app_ != nullptr && !self->quitRequested_) (self->app_->*Action)();
    });
}

void MainWindow::openAudioSettings(GtkMenuItem*, gpointer window) noexcept {
    if (static_cast<MainWindow*>(window)->quitRequested_) return;
    Clap::shielded("audio settings", [] { AudioSettingsWindow::open(); });
}

void MainWindow::quitChosen(GtkMenuItem*, gpointer window) noexcept { static_cast<MainWindow*>(window)->requestQuit(); }

// Kept open: the program destroys it after the quit steps, which take the plug-in's
// window out of it first.
gboolean MainWindow::closeRequested(GtkWidget*, GdkEvent*, gpointer window) noexcept {
    static_cast<MainWindow*>(window)->requestQuit();
    return TRUE;
}

// A file chooser gives the keyboard focus to its location entry the moment it
// switches to it (Ctrl+L, or typing, from the "Recent" or search view), while
// that entry is shown only at the next layout. A key that comes in between, the
// release of the L if nothing else, would go to a widget with no window, which
// GTK refuses with a critical warning and drops. Realized early, the entry takes
// the key as it would a moment later.
gboolean MainWindow::keyToHiddenFocus(GtkWidget* dialog, GdkEvent*, gpointer) noexcept {
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(dialog));
    if (focus != nullptr && !gtk_widget_get_realized(focus)) gtk_widget_realize(focus);
    return FALSE;  // GTK's own handling goes on
}

// While a modal dialog holds GTK's grab, GTK drops the main window's close
// request; quit must not wait for the dialog to be answered.
void MainWindow::filterEvent(GdkEvent* event, gpointer window) noexcept {
    auto* self = static_cast<MainWindow*>(window);
    if (event->type == GDK_DELETE && event->any.window == gtk_widget_get_window(GTK_WIDGET(self->window_)) &&
        gtk_grab_get_current() != nullptr) {
        self->requestQuit();
        return;
    }
    gtk_main_do_event(event);
}

void MainWindow::areaAllocated(GtkWidget*, GdkRectangle* allocation, gpointer window) noexcept {
    auto* self = static_cast<MainWindow*>(window);
    Clap::shielded("window size", [&] { self->contentAllocated(allocation->width, allocation->height); });
}

}  // namespace brevlin::clap_host::standalone
