// Process-wide X error handlers shared by every frame.
#include "x11_errors.h"

#include <algorithm>
#include <vector>

namespace lumivex::ui::x11 {

namespace {

struct Watched {
    Display* display;
    int firstError;
    bool lost;
};

std::vector<Watched> g_watched;  // main thread only
XErrorHandler g_previous = nullptr;
XIOErrorHandler g_previousIo = nullptr;
bool g_installed = false;

Watched* find(Display* display) {
    const auto it = std::find_if(g_watched.begin(), g_watched.end(),
                                 [display](const Watched& w) { return w.display == display; });
    return it == g_watched.end() ? nullptr : &*it;
}

int onError(Display* display, XErrorEvent* event) noexcept {
    try {
        if (Watched* w = find(display)) {
            if (w->firstError == 0) w->firstError = event != nullptr ? event->error_code : BadImplementation;
            return 0;
        }
        if (g_previous != nullptr) return g_previous(display, event);
    } catch (...) {
    }
    return 0;
}

// Xlib calls the process-wide handler first (its default one exits), then the
// display's exit handler (whose default exits too). For our displays both return.
int onIoError(Display* display) noexcept {
    try {
        if (Watched* w = find(display)) {
            w->lost = true;
            return 0;
        }
        if (g_previousIo != nullptr) return g_previousIo(display);
    } catch (...) {
    }
    return 0;
}

void onConnectionLost(Display* display, void*) noexcept {
    try {
        if (Watched* w = find(display)) w->lost = true;
    } catch (...) {
    }
}

}  // namespace

void watch(Display* display) {
    if (display == nullptr || find(display) != nullptr) return;
    g_watched.push_back({display, 0, false});
    XSetIOErrorExitHandler(display, onConnectionLost, nullptr);
    if (!g_installed) {
        g_previous = XSetErrorHandler(onError);
        g_previousIo = XSetIOErrorHandler(onIoError);
        g_installed = true;
    }
}

void unwatch(Display* display) {
    std::erase_if(g_watched, [display](const Watched& w) { return w.display == display; });
    if (!g_watched.empty() || !g_installed) return;
    // Put the previous handlers back, unless someone installed theirs after ours (they
    // may hand errors on to ours): then leave theirs and stay installed.
    const XErrorHandler current = XSetErrorHandler(g_previous);
    const XIOErrorHandler currentIo = XSetIOErrorHandler(g_previousIo);
    if (current != onError || currentIo != onIoError) {
        XSetErrorHandler(current);
        XSetIOErrorHandler(currentIo);
        return;
    }
    g_installed = false;
    g_previous = nullptr;
    g_previousIo = nullptr;
}

int takeError(Display* display) {
    Watched* w = find(display);
    if (w == nullptr) return 0;
    const int code = w->firstError;
    w->firstError = 0;
    return code;
}

bool connectionLost(Display* display) {
    const Watched* w = find(display);
    return w != nullptr && w->lost;
}

}  // namespace lumivex::ui::x11
