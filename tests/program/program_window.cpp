#include "program_window.h"

#include <chrono>
#include <vector>

#include "wait.h"

// Last: Xlib's macros (None, Bool, Status...) would upset the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace e2e {

namespace {

// Windows of another client may vanish between two of our requests. Process-wide,
// as Xlib's handler is; the test opens no other connection.
int ignoreError(Display*, XErrorEvent*) { return 0; }

std::vector<Window> childrenOf(Display* display, Window window) {
    Window root = 0, parent = 0, *list = nullptr;
    unsigned int count = 0;
    std::vector<Window> out;
    if (XQueryTree(display, window, &root, &parent, &list, &count) == 0) return out;
    out.assign(list, list + count);
    if (list != nullptr) XFree(list);
    return out;
}

bool viewable(Display* display, Window window, XWindowAttributes& a) {
    return XGetWindowAttributes(display, window, &a) != 0 && a.map_state == IsViewable;
}

std::string titleOf(Display* display, Window window) {
    std::string title;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr && type == utf8 && format == 8)
        title.assign(reinterpret_cast<const char*>(data), count);
    if (data != nullptr) XFree(data);
    if (!title.empty()) return title;
    char* name = nullptr;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
        title = name;
        XFree(name);
    }
    return title;
}

}  // namespace

Screen::Screen() {
    if (std::getenv("DISPLAY") == nullptr) return;
    // An X server starts over when its last client leaves (Xvfb between two tests)
    // and refuses connections until it is back.
    testsupport::waitFor([this] { return (display_ = XOpenDisplay(nullptr)) != nullptr; }, std::chrono::seconds(10));
    if (display_ != nullptr) XSetErrorHandler(ignoreError);
}

Screen::~Screen() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

bool Screen::usable(std::string& why) const {
    Visual* visual = DefaultVisual(display_, DefaultScreen(display_));
    if (visual->c_class != TrueColor || visual->red_mask != 0xff0000 || visual->green_mask != 0xff00 ||
        visual->blue_mask != 0xff) {
        why = "the screen has no 24-bit true colour visual (run Xvfb with -screen 0 1280x1024x24)";
        return false;
    }
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &event, &error, &major, &minor)) {
        why = "the X server has no XTEST extension";
        return false;
    }
    return true;
}

unsigned long Screen::topLevelTitled(const std::string& title) {
    XWindowAttributes a{};
    for (Window w : childrenOf(display_, DefaultRootWindow(display_)))
        if (viewable(display_, w, a) && titleOf(display_, w) == title) return w;
    return 0;
}

unsigned long Screen::innermostOfSize(unsigned long window, int width, int height) {
    unsigned long found = 0;
    for (Window child : childrenOf(display_, window)) {
        XWindowAttributes a{};
        if (!viewable(display_, child, a)) continue;
        if (const unsigned long inner = innermostOfSize(child, width, height); inner != 0) return inner;
        if (a.width == width && a.height == height) found = child;
    }
    return found;
}

Rect Screen::rect(unsigned long window) {
    XWindowAttributes a{};
    if (XGetWindowAttributes(display_, window, &a) == 0) return {};
    Rect r{0, 0, a.width, a.height};
    Window child = 0;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &r.x, &r.y, &child);
    return r;
}

void Screen::movePointer(unsigned long window, int x, int y) {
    const Rect r = rect(window);
    XTestFakeMotionEvent(display_, DefaultScreen(display_), r.x + x, r.y + y, CurrentTime);
}

void Screen::press(unsigned long window, int x, int y) {
    movePointer(window, x, y);
    XTestFakeButtonEvent(display_, Button1, True, CurrentTime);
    XSync(display_, False);
}

void Screen::release(unsigned long window, int x, int y) {
    movePointer(window, x, y);
    XTestFakeButtonEvent(display_, Button1, False, CurrentTime);
    XSync(display_, False);
}

void Screen::requestClose(unsigned long window) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &e);
    XSync(display_, False);
}

}  // namespace e2e
