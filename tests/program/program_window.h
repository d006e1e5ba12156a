// The program's windows as a window manager and a user see them, on an X connection
// of the test's own: the top-level window found by its title, the windows inside
// it, real pointer clicks through the XTest extension, and a close request sent the
// way a window manager sends one. X errors on this connection (a window that went
// away between two requests) are counted, never fatal. Main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "x11_parent_window.h"

struct _XDisplay;

namespace e2e {

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;  // x, y on the root window
};

class Screen {
public:
    Screen();  // opened() tells whether $DISPLAY could be opened
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    bool opened() const { return display_ != nullptr; }
    // False, with the reason, when pixels cannot be compared or clicks cannot be made.
    bool usable(std::string& why) const;

    // The viewable top-level window with this title (_NET_WM_NAME, else WM_NAME), or 0.
    unsigned long topLevelTitled(const std::string& title);
    // The deepest viewable window inside `window` of exactly this size, or 0.
    unsigned long innermostOfSize(unsigned long window, int width, int height);
    Rect rect(unsigned long window);

    testsupport::Screenshot grab(unsigned long window) { return testsupport::grabWindow(display_, window); }
    // A press (or release) of the left button with the pointer at x, y of `window`,
    // through the input devices' path, as a user's hand makes it.
    void press(unsigned long window, int x, int y);
    void release(unsigned long window, int x, int y);
    // WM_DELETE_WINDOW in a WM_PROTOCOLS client message, as a window manager sends it
    // when the user closes the window.
    void requestClose(unsigned long window);

private:
    void movePointer(unsigned long window, int x, int y);

    _XDisplay* display_ = nullptr;
};

}  // namespace e2e
