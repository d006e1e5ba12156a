// GTK for the window tests: started once per process on the display of the test
// run, and its queued work run by hand.
#pragma once

#include <gtk/gtk.h>

#include <cstdlib>

namespace shelltest {

// False without a display; the tests then skip.
inline bool gtkStarted() {
    // No accessibility bus: the tests have no D-Bus session to reach it through.
    setenv("NO_AT_BRIDGE", "1", 0);
    setenv("GTK_A11Y", "none", 0);
    static const bool started = gtk_init_check(nullptr, nullptr);
    return started;
}

// Runs what GTK has queued (a close request goes through an idle callback).
inline void pump() {
    for (int i = 0; i < 1000 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
}

}  // namespace shelltest
