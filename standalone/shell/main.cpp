// The Lumivex program: the pedal's plug-in in a window of its own, on the system's
// audio and MIDI.
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>

#include "shell/clap_host_app.h"
#include "shell/main_window.h"
#include "standalone/call_shield.h"
#include "standalone/standalone_entry.h"

// For builds with LeakSanitizer: fontconfig, under GTK's text rendering, keeps the
// font patterns it matched in caches that it never frees; they are not this
// program's leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using namespace brevlin::clap_host::standalone;

// SIGINT, SIGTERM and SIGHUP quit the way the window's close button does, so that
// Ctrl+C in a terminal, the end of a session or the terminal closing still write
// the settings file. The handlers go when the loop ends: a second signal during
// the quit steps ends the process at once, a way out should they hang.
gboolean quitOnSignal(gpointer window) noexcept {
    static_cast<MainWindow*>(window)->requestQuit();
    return G_SOURCE_CONTINUE;
}

// A signal ignored when the program started stays ignored: that is how `nohup`,
// and a shell for its background jobs, ask a program to outlive its terminal.
// 0 when no handler was installed.
guint quitOn(int signal, MainWindow& window) {
    struct sigaction inherited{};
    if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) return 0;
    return g_unix_signal_add(signal, quitOnSignal, &window);
}

// Whether a D-Bus session bus can be found the way GLib looks for one without
// starting one.
bool sessionBusAround() {
    if (g_getenv("DBUS_SESSION_BUS_ADDRESS") != nullptr) return true;
    const gchar* runtime = g_getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr) return false;
    gchar* socket = g_build_filename(runtime, "bus", nullptr);
    const bool found = g_file_test(socket, G_FILE_TEST_EXISTS);
    g_free(socket);
    return found;
}

int run(int argc, char** argv) {
    // The plug-in embeds its window in an X11 window. The accessibility bridge
    // would look for a D-Bus session, which a plain X session or CI may not have.
    gdk_set_allowed_backends("x11");
    g_setenv("NO_AT_BRIDGE", "1", FALSE);
    // The file choosers keep their view settings in GSettings, whose store is
    // reached over the session bus; without one, every change would try to start a
    // bus and complain. They are kept for the run only then.
    if (!sessionBusAround()) g_setenv("GSETTINGS_BACKEND", "memory", FALSE);
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "lumivex: cannot open the X display (is DISPLAY set?)\n");
        return 1;
    }

    MainWindow window;
    ClapHostApp app(window, window, &clap_entry, kLumivexPluginId, argc, argv);
    window.connect(app);
    const guint handlers[] = {quitOn(SIGINT, window), quitOn(SIGTERM, window), quitOn(SIGHUP, window)};

    window.show();
    app.applicationDidFinishLaunching();
    gtk_main();

    for (const guint handler : handlers)
        if (handler != 0) g_source_remove(handler);
    app.applicationWillTerminate();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return Clap::shielded("lumivex", 1, [&] { return run(argc, argv); });
}
