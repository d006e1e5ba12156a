// The main window on a real display: the X11 window the plug-in goes in, the
// window's size around it, the ways to ask for quit, and alerts that quit
// dismisses.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gtk_session.h"
#include "shell/main_window.h"

// Last: Xlib's macros (None, Bool, Status) clash with names in the headers above.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace {

using brevlin::clap_host::standalone::MainWindow;
using shelltest::pump;

struct MainWindowDisplay : ::testing::Test {
    std::unique_ptr<MainWindow> window;

    void SetUp() override {
        if (!shelltest::gtkStarted()) GTEST_SKIP() << "no display: GTK cannot start";
        window = std::make_unique<MainWindow>();
        window->show();
        pump();
    }

    // Turns GTK until `done` holds; a bounded number of turns.
    template <class Done>
    bool turnUntil(Done done) {
        for (int turns = 0; turns < 2000 && !done(); ++turns) gtk_main_iteration_do(FALSE);
        return done();
    }
};

TEST_F(MainWindowDisplay, ThePluginsParentIsANativeChildOfExactlyTheContentSize) {
    window->setContentSize(394, 722);
    const Window parent = window->pluginParentWindow();
    ASSERT_NE(parent, 0u);
    Display* display = GDK_DISPLAY_XDISPLAY(gtk_widget_get_display(GTK_WIDGET(window->window())));
    const auto size = [&] {
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, parent, &attributes);
        return std::make_pair(attributes.width, attributes.height);
    };
    ASSERT_TRUE(turnUntil([&] { return size() == std::make_pair(394, 722); }));

    // Fixed geometry: the window is the menu bar over exactly that.
    int width = 0, height = 0;
    ASSERT_TRUE(turnUntil([&] {
        gtk_window_get_size(window->window(), &width, &height);
        return width == 394;
    }));
    EXPECT_GT(height, 722);
    EXPECT_LT(height, 722 + 100);
    EXPECT_EQ(std::string(gtk_window_get_title(window->window())), "Lumivex");
}

TEST_F(MainWindowDisplay, TheCloseButtonAndCtrlQAskForQuitAndTheWindowStays) {
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
    std::string title, primary, secondary, button;
    MainWindow* window = nullptr;
};

GtkMessageDialog* openMessageDialog() {
    GtkMessageDialog* found = nullptr;
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item != nullptr; item = item->next)
        if (GTK_IS_MESSAGE_DIALOG(item->data) && gtk_widget_get_visible(GTK_WIDGET(item->data)))
            found = GTK_MESSAGE_DIALOG(item->data);
    g_list_free(toplevels);
    return found;
}

std::string stringProperty(gpointer object, const char* name) {
    gchar* value = nullptr;
    g_object_get(object, name, &value, nullptr);
    std::string result = value != nullptr ? value : "";
    g_free(value);
    return result;
}

// Reads the alert on screen, then asks for quit, which must end it.
gboolean readAlertThenQuit(gpointer seen) noexcept {
    auto& s = *static_cast<SeenAlert*>(seen);
    GtkMessageDialog* dialog = openMessageDialog();
    if (dialog == nullptr) return G_SOURCE_CONTINUE;  // not mapped yet
    s.title = gtk_window_get_title(GTK_WINDOW(dialog));
    s.primary = stringProperty(dialog, "text");
    s.secondary = stringProperty(dialog, "secondary-text");
    GtkWidget* ok = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    if (ok != nullptr) s.button = gtk_button_get_label(GTK_BUTTON(ok));
    s.window->requestQuit();
    return G_SOURCE_REMOVE;
}

TEST_F(MainWindowDisplay, AnAlertIsModalWithItsTitleTextAndOkUntilQuitDismissesIt) {
    SeenAlert seen;
    seen.window = window.get();
    g_timeout_add(10, readAlertThenQuit, &seen);
    window->showAlert("Plugin Error", "The plugin failed to create its user interface.");
    EXPECT_EQ(seen.title, "Plugin Error");
    EXPECT_EQ(seen.primary, "Plugin Error");
    EXPECT_EQ(seen.secondary, "The plugin failed to create its user interface.");
    EXPECT_EQ(seen.button, "_OK");
    EXPECT_TRUE(window->quitRequested());

    testing::internal::CaptureStderr();
    window->showAlert("Unable to configure audio", "late");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unable to configure audio: late\n")
        << "after quit, alerts no longer wait for an answer";
}

}  // namespace
