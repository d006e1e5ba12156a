// A host's window for the panel to embed in: a mapped top-level X11 window on a
// connection of its own. Without an X display there is none (display() is null),
// and a test should skip.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>

#include "wait.h"

namespace testsupport {

class ParentWindow {
public:
    explicit ParentWindow(unsigned width = 394, unsigned height = 722) {
        // An X server starts over when its last client leaves (Xvfb between two
        // tests) and refuses connections until it is back.
        if (std::getenv("DISPLAY") == nullptr) return;
        waitFor([this] { return (display_ = XOpenDisplay(nullptr)) != nullptr; }, std::chrono::seconds(10));
        if (display_ == nullptr) return;
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, width, height, 0, 0, 0);
        XMapWindow(display_, window_);
        XSync(display_, False);
    }
    ~ParentWindow() {
        if (display_ == nullptr) return;
        destroy();
        XCloseDisplay(display_);
    }
    ParentWindow(const ParentWindow&) = delete;
    ParentWindow& operator=(const ParentWindow&) = delete;

    Display* display() const { return display_; }
    Window id() const { return window_; }
    // Destroys the window now (with every child window in it) and waits until the
    // server has done it.
    void destroy() {
        if (window_ == 0) return;
        XDestroyWindow(display_, window_);
        window_ = 0;
        XSync(display_, False);
    }

private:
    Display* display_ = nullptr;
    Window window_ = 0;
};

}  // namespace testsupport
