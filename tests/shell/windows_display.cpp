// The program's GTK windows on a real display, driven through their real widgets:
// the main window around the plug-in's X11 window, its ways to ask for quit and
// its alerts; the audio settings window on the fake audio library.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "host_fixture.h"
#include "standalone/audio_error_text.h"
#include "shell/audio_settings_window.h"
#include "shell/main_window.h"

// Last: Xlib's macros (None, Bool, Status) clash with names in the headers above.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

// Fontconfig, under GTK's text rendering, keeps the font patterns it matched in
// caches that it never frees; they are not this program's leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using namespace satest;
using Titles = std::vector<std::string>;

// GTK, started once per process; false without a display, and the tests skip.
bool gtkStarted() {
    // No accessibility bus: the tests have no D-Bus session to reach it through.
    setenv("NO_AT_BRIDGE", "1", 0);
    setenv("GTK_A11Y", "none", 0);
    // Nor a settings store: the file choosers keep their view settings for the run.
    setenv("GSETTINGS_BACKEND", "memory", 0);
    static const bool started = gtk_init_check(nullptr, nullptr);
    return started;
}

// Runs what GTK has queued (a close request goes through an idle callback).
void pump() {
    for (int i = 0; i < 1000 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
}

// The visible windows titled `title`, innermost last.
std::vector<GtkWindow*> windowsTitled(const std::string& title) {
    std::vector<GtkWindow*> found;
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item != nullptr; item = item->next)
        if (const char* its = gtk_window_get_title(GTK_WINDOW(item->data));
            its != nullptr && title == its && gtk_widget_get_visible(GTK_WIDGET(item->data)))
            found.push_back(GTK_WINDOW(item->data));
    g_list_free(toplevels);
    return found;
}

std::string stringProperty(gpointer object, const char* name) {
    gchar* value = nullptr;
    g_object_get(object, name, &value, nullptr);
    std::string result = value != nullptr ? value : "(none)";
    g_free(value);
    return result;
}

struct MainWindowDisplay : ::testing::Test {
    std::unique_ptr<MainWindow> window;

    void SetUp() override {
        if (!gtkStarted()) GTEST_SKIP() << "no display: GTK cannot start";
        window = std::make_unique<MainWindow>();
        window->show();
        pump();
    }
};

TEST_F(MainWindowDisplay, ThePluginsParentHasTheContentSizeAndCloseOrCtrlQAskForQuitLeavingTheWindowUp) {
    window->setContentSize(394, 722);
    const Window parent = window->pluginParentWindow();
    ASSERT_NE(parent, 0u);
    Display* display = GDK_DISPLAY_XDISPLAY(gtk_widget_get_display(GTK_WIDGET(window->window())));
    XWindowAttributes native{};
    int width = 0, height = 0;
    for (int turns = 0; turns < 2000 && (native.width != 394 || native.height != 722 || width != 394); ++turns) {
        gtk_main_iteration_do(FALSE);
        XGetWindowAttributes(display, parent, &native);
        gtk_window_get_size(window->window(), &width, &height);
    }
    EXPECT_EQ(std::tie(native.width, native.height, width), std::make_tuple(394, 722, 394));
    EXPECT_GT(height, 722) << "the menu bar over the plug-in";
    EXPECT_LT(height, 722 + 100);

    gtk_window_close(window->window());  // what the window manager's close does
    pump();
    EXPECT_TRUE(window->quitRequested());
    EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(window->window()))) << "quit takes it down later";
    MainWindow other;
    other.show();
    pump();
    EXPECT_TRUE(gtk_accel_groups_activate(G_OBJECT(other.window()), GDK_KEY_q, GDK_CONTROL_MASK));
    EXPECT_TRUE(other.quitRequested());
}

struct SeenAlert {
    std::string primary, secondary, button;
    MainWindow* window = nullptr;
};

// Reads the alert on screen, then asks for quit, which must end it.
gboolean readAlertThenQuit(gpointer seen) noexcept {
    auto& s = *static_cast<SeenAlert*>(seen);
    const std::vector<GtkWindow*> alerts = windowsTitled("Plugin Error");
    if (alerts.empty()) return G_SOURCE_CONTINUE;  // not mapped yet
    s.primary = stringProperty(alerts.back(), "text");
    s.secondary = stringProperty(alerts.back(), "secondary-text");
    GtkWidget* ok = gtk_dialog_get_widget_for_response(GTK_DIALOG(alerts.back()), GTK_RESPONSE_OK);
    if (ok != nullptr) s.button = gtk_button_get_label(GTK_BUTTON(ok));
    s.window->requestQuit();
    return G_SOURCE_REMOVE;
}

TEST_F(MainWindowDisplay, AnAlertIsModalWithItsTitleTextAndOkUntilQuitDismissesIt) {
    SeenAlert seen;
    seen.window = window.get();
    g_timeout_add(10, readAlertThenQuit, &seen);
    window->showAlert("Plugin Error", "The plugin failed to create its user interface.");
    EXPECT_EQ(seen.primary, "Plugin Error");
    EXPECT_EQ(seen.secondary, "The plugin failed to create its user interface.");
    EXPECT_EQ(seen.button, "_OK");
    EXPECT_TRUE(window->quitRequested());

    testing::internal::CaptureStderr();
    window->showAlert("Unable to configure audio", "late");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unable to configure audio: late\n")
        << "after quit, alerts no longer wait for an answer";
}

struct ChooserScene {
    MainWindow* window = nullptr;
    std::string folder;  // where the chooser started
    GtkWidget* inner = nullptr;
    gint innerResponse = GTK_RESPONSE_OK;
    guint guard = 0;  // 0 once it has fired
};

// Inside the chooser's loop, a dialog in a loop of its own, as GTK runs its own
// messages there; then the window manager's close of the main window, which GTK
// drops by itself while a dialog holds the grab.
gboolean runInnerDialogAndClose(gpointer data) noexcept {
    auto& scene = *static_cast<ChooserScene*>(data);
    const std::vector<GtkWindow*> choosers = windowsTitled("Save State As");
    gchar* folder = choosers.empty() ? nullptr : gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(choosers[0]));
    if (folder == nullptr) return G_SOURCE_CONTINUE;
    scene.folder = folder;
    g_free(folder);
    scene.inner = gtk_message_dialog_new(choosers[0], GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION,
                                         GTK_BUTTONS_OK_CANCEL, "inner");
    GdkEvent* close = gdk_event_new(GDK_DELETE);
    close->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(scene.window->window()))));
    gdk_event_put(close);
    gdk_event_free(close);
    scene.innerResponse = gtk_dialog_run(GTK_DIALOG(scene.inner));
    gtk_widget_destroy(scene.inner);
    return G_SOURCE_REMOVE;
}

// Should quit not end the dialogs, the test ends them, and fails.
gboolean giveUp(gpointer data) noexcept {
    auto& scene = *static_cast<ChooserScene*>(data);
    scene.guard = 0;
    gtk_widget_hide(scene.inner);
    for (GtkWindow* open : windowsTitled("Save State As")) gtk_widget_hide(GTK_WIDGET(open));
    return G_SOURCE_REMOVE;
}

TEST_F(MainWindowDisplay, ClosingTheWindowEndsTheChooserAndADialogRunInsideItAndNothingChosenComesBack) {
    const std::string folder = std::filesystem::temp_directory_path();
    ChooserScene scene;
    scene.window = window.get();
    g_timeout_add(10, runInnerDialogAndClose, &scene);
    scene.guard = g_timeout_add_seconds(30, giveUp, &scene);
    EXPECT_FALSE(window->chooseStateFileToSave(folder, "Untitled.chstream").has_value());
    EXPECT_NE(scene.guard, 0u) << "quit left a dialog running";
    if (scene.guard != 0) g_source_remove(scene.guard);
    EXPECT_NE(scene.innerResponse, GTK_RESPONSE_OK);
    EXPECT_EQ(scene.folder, folder);
    EXPECT_FALSE(window->confirmReplace(folder + "/take.chstream")) << "after quit, nothing is asked";
}

// GTK's chooser can move its focus to an entry not realized yet (its location
// entry); a key then reached GTK with no window to go to.
struct HiddenFocusScene {
    GtkWidget* entry = nullptr;
    GtkWindow* chooser = nullptr;
    std::string typed;
    int ticks = 0;
};

gboolean cancelOnceTyped(gpointer data) noexcept {
    auto& scene = *static_cast<HiddenFocusScene*>(data);
    scene.typed = gtk_entry_get_text(GTK_ENTRY(scene.entry));
    if (scene.typed.empty() && ++scene.ticks < 200) return G_SOURCE_CONTINUE;
    gtk_dialog_response(GTK_DIALOG(scene.chooser), GTK_RESPONSE_CANCEL);
    return G_SOURCE_REMOVE;
}

gboolean focusAHiddenEntryAndType(gpointer data) noexcept {
    auto& scene = *static_cast<HiddenFocusScene*>(data);
    const std::vector<GtkWindow*> choosers = windowsTitled("Open State");
    if (choosers.empty() || !gtk_widget_get_mapped(GTK_WIDGET(choosers[0]))) return G_SOURCE_CONTINUE;
    scene.chooser = choosers[0];
    GtkWidget* hidden = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_widget_set_no_show_all(hidden, TRUE);
    scene.entry = gtk_entry_new();
    gtk_widget_show(scene.entry);
    gtk_container_add(GTK_CONTAINER(hidden), scene.entry);
    gtk_file_chooser_set_extra_widget(GTK_FILE_CHOOSER(scene.chooser), hidden);
    gtk_widget_unrealize(hidden);
    gtk_widget_grab_focus(scene.entry);
    GdkEvent* key = gdk_event_new(GDK_KEY_PRESS);
    key->key.keyval = GDK_KEY_a;
    gdk_event_set_device(key, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    key->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(scene.chooser))));
    key->any.send_event = TRUE;
    gdk_event_put(key);
    gdk_event_free(key);
    g_timeout_add(10, cancelOnceTyped, &scene);
    return G_SOURCE_REMOVE;
}

void countCritical(const gchar*, GLogLevelFlags, const gchar*, gpointer count) { ++*static_cast<int*>(count); }

TEST_F(MainWindowDisplay, AKeyForAChooserEntryNotShownYetReachesItWithoutAWarning) {
    HiddenFocusScene scene;
    int criticals = 0;
    const guint handler = g_log_set_handler("Gtk", G_LOG_LEVEL_CRITICAL, countCritical, &criticals);
    g_timeout_add(10, focusAHiddenEntryAndType, &scene);
    window->chooseStateFileToOpen(g_get_home_dir());
    g_log_remove_handler("Gtk", handler);
    EXPECT_EQ(scene.typed, "a");
    EXPECT_EQ(criticals, 0);
}

Titles titles(GtkComboBoxText* combo) {
    Titles result;
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
    GtkTreeIter item;
    for (bool more = gtk_tree_model_get_iter_first(model, &item); more; more = gtk_tree_model_iter_next(model, &item)) {
        gchar* title = nullptr;
        gtk_tree_model_get(model, &item, 0, &title, -1);
        result.emplace_back(title);
        g_free(title);
    }
    return result;
}

std::string selected(GtkComboBoxText* combo) {
    gchar* title = gtk_combo_box_text_get_active_text(combo);
    std::string result = title != nullptr ? title : "(none)";
    g_free(title);
    return result;
}

void choose(GtkComboBoxText* combo, int index) { gtk_combo_box_set_active(GTK_COMBO_BOX(combo), index); }

size_t openSettingsWindows() { return windowsTitled("Audio/MIDI Settings").size(); }

struct SettingsWindow : HostFixture {
    void SetUp() override {
        if (!gtkStarted()) GTEST_SKIP() << "no display: GTK cannot start";
        // Positions 0 to 3 are device ids 1 to 4.
        audio.devices = {{"Interface", 2, 2, {44100, 48000, 96000}, 48000},
                         {"Mic", 2, 0, {48000, 96000}, 48000},
                         {"Phone Mic", 1, 0, {16000}, 16000},
                         {"Speakers", 0, 2, {44100, 48000}, 44100}};
        audio.defaultInput = 0;
        audio.defaultOutput = 0;
    }
    void TearDown() override {
        if (!gtkStarted()) return;
        for (GtkWindow* open : windowsTitled("Audio/MIDI Settings")) gtk_widget_destroy(GTK_WIDGET(open));
        pump();
    }
    static AudioSettingsWindow& open() {
        AudioSettingsWindow* window = AudioSettingsWindow::open();
        pump();
        return *window;
    }
};

TEST_F(SettingsWindow, OffersTheRatesBothDevicesListAndRefillsOnEveryChange) {
    attach();
    host->startAudioThreadOn(2, 2, true, 1, 2, true, 96000);  // Mic into Interface
    AudioSettingsWindow& w = open();
    EXPECT_EQ(titles(w.outputSelection()), (Titles{"Interface", "Speakers"}));
    EXPECT_EQ(titles(w.inputSelection()), (Titles{"No Input", "Interface", "Mic", "Phone Mic"}));
    EXPECT_EQ(selected(w.inputSelection()), "Mic");
    EXPECT_EQ(titles(w.sampleRateSelection()), (Titles{"48000", "96000"}));
    EXPECT_EQ(selected(w.sampleRateSelection()), "96000") << "the running rate";

    choose(w.inputSelection(), 0);
    EXPECT_EQ(titles(w.sampleRateSelection()), (Titles{"44100", "48000", "96000"})) << "No Input: all of the output's";
    choose(w.outputSelection(), 1);
    EXPECT_EQ(selected(w.sampleRateSelection()), "44100") << "the first when the running rate is not offered";
    choose(w.inputSelection(), 3);
    EXPECT_EQ(titles(w.sampleRateSelection()), Titles{}) << "Speakers and Phone Mic share no rate";
}

TEST_F(SettingsWindow, OkRestartsTheStreamOnTheChoiceAndClosesWhetherOrNotItStarted) {
    FakePlugin& p = attach();
    host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
    AudioSettingsWindow& first = open();
    choose(first.inputSelection(), 2);       // Mic
    choose(first.sampleRateSelection(), 1);  // 96000
    gtk_button_clicked(first.okButton());
    EXPECT_EQ(openSettingsWindows(), 0u);
    ASSERT_EQ(audio.opens.size(), 2u);
    const FakeAudioSystem::Open& r = audio.opens.back();  // devices by position: Mic is 1, Interface 0
    EXPECT_EQ(std::tie(r.input.deviceId, r.output.deviceId, r.rate), std::make_tuple(1u, 0u, 96000u));
    const uint64_t before = p.blocks.load();
    EXPECT_TRUE(eventually([&] { return p.blocks.load() > before; })) << "the plug-in processes again";

    // No common rate: rate 0, which no device lists, so the output's preferred one.
    AudioSettingsWindow& second = open();
    choose(second.outputSelection(), 1);  // Speakers
    choose(second.inputSelection(), 3);   // Phone Mic
    gtk_button_clicked(second.okButton());
    EXPECT_EQ(audio.opens.back().rate, 44100u);
    EXPECT_EQ(std::tie(host->currentInputDevice, host->currentOutputDevice), std::make_tuple(3u, 4u));

    AudioSettingsWindow& third = open();
    choose(third.inputSelection(), 0);
    std::vector<std::string> shown;
    host->displayError = [&](const std::string& message) { shown.push_back(message); };
    audio.openFailure = kAudioDriverError;
    gtk_button_clicked(third.okButton());
    EXPECT_EQ(openSettingsWindows(), 0u);
    EXPECT_EQ(shown, Titles{kNoAudioDeviceText}) << "through the host's error display, in plain words";
    EXPECT_FALSE(host->inputEnabled) << "No Input";
}

TEST_F(SettingsWindow, ResetSelectsTheListedDefaultsAndCancelOrCloseApplyNothing) {
    FakePlugin& p = attach();
    audio.devices[0].preferred = 96000;                       // the default output's rate
    host->startAudioThreadOn(3, 2, true, 4, 2, true, 44100);  // Phone Mic into Speakers
    AudioSettingsWindow& first = open();
    gtk_button_clicked(first.resetButton());
    EXPECT_EQ(selected(first.inputSelection()), "Interface");
    EXPECT_EQ(selected(first.outputSelection()), "Interface");
    EXPECT_EQ(selected(first.sampleRateSelection()), "96000") << "the default rate, not the running 44100";

    audio.devices.push_back({"Headset", 1, 1, {48000}, 48000});
    audio.defaultInput = 4;  // plugged in after the first window was built
    AudioSettingsWindow& second = open();
    EXPECT_EQ(titles(first.outputSelection()).size() + 1, titles(second.outputSelection()).size());
    choose(first.inputSelection(), 2);  // Mic
    gtk_button_clicked(first.resetButton());
    EXPECT_EQ(selected(first.inputSelection()), "Mic") << "a default missing from the list changes nothing";
    gtk_button_clicked(first.cancelButton());
    EXPECT_EQ(openSettingsWindows(), 1u);
    choose(second.inputSelection(), 0);
    gtk_window_close(second.window());  // as the window manager's close button
    pump();
    EXPECT_EQ(openSettingsWindows(), 0u);

    EXPECT_EQ(audio.opens.size(), 1u);
    EXPECT_TRUE(host->rtaDac->stream.isRunning());
    EXPECT_EQ(host->currentInputDevice, 3u);
    EXPECT_EQ(p.calls, (Titles{"init", "activate", "start_processing"}));
}

}  // namespace
