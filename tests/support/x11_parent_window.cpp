// The parent window, pointer events and pixel read-back with Xlib; PNGs with cairo.
#include "x11_parent_window.h"

#include "wait.h"

#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

// Last: Xlib's macros (None, Bool, Status...) would upset the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace testsupport {

namespace {

// Xlib's error handler is process-wide. Ours counts errors on the parent windows'
// connections and hands every other one to the handler that was there before (the
// plug-in's toolkit may put its own in front of ours; it passes ours what is not its
// own). Installed with the first window and never taken out, so neither handler is
// ever left pointing at one that went away. Main thread only.
std::map<Display*, int> g_errors;  // by connection
XErrorHandler g_previous = nullptr;
bool g_installed = false;

int countError(Display* display, XErrorEvent* event) {
    const auto counted = g_errors.find(display);
    if (counted == g_errors.end()) return g_previous != nullptr ? g_previous(display, event) : 0;
    ++counted->second;
    char text[128] = "";
    XGetErrorText(display, event->error_code, text, sizeof text);
    std::fprintf(stderr, "X error on the host's connection: %s (request %d)\n", text, event->request_code);
    return 0;
}

// Calls visit(p, x, y) for each pixel p of the square of side 2 * radius + 1
// around (x, y) that lies inside the shot.
template <class Visit>
void visitSquare(const Screenshot& shot, int x, int y, int radius, Visit visit) {
    for (int yy = std::max(0, y - radius); yy <= std::min(shot.height - 1, y + radius); ++yy)
        for (int xx = std::max(0, x - radius); xx <= std::min(shot.width - 1, x + radius); ++xx)
            visit(shot.at(xx, yy), xx, yy);
}

}  // namespace

double Screenshot::meanLevel(int x, int y, int radius) const {
    double sum = 0.0;
    int n = 0;
    visitSquare(*this, x, y, radius, [&](uint32_t p, int, int) {
        sum += ((p >> 16 & 0xff) + (p >> 8 & 0xff) + (p & 0xff)) / 3.0;
        ++n;
    });
    return n > 0 ? sum / n : 0.0;
}

int Screenshot::changedPixels(const Screenshot& other, int x, int y, int radius, int tolerance) const {
    const bool sameSize = other.width == width && other.height == height;
    int changed = 0;
    visitSquare(*this, x, y, radius, [&](uint32_t p, int xx, int yy) {
        const uint32_t q = sameSize ? other.at(xx, yy) : 0;
        bool differs = !sameSize;
        for (int shift : {16, 8, 0}) {
            const int a = static_cast<int>(p >> shift & 0xff), b = static_cast<int>(q >> shift & 0xff);
            differs = differs || std::abs(a - b) > tolerance;
        }
        changed += differs ? 1 : 0;
    });
    return changed;
}

bool Screenshot::savePng(const std::string& path) const {
    if (empty()) return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) std::memcpy(data + y * stride, &pixels[static_cast<size_t>(y) * width], width * 4u);
    cairo_surface_mark_dirty(surface);
    const bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return written;
}

ParentWindow::ParentWindow(uint32_t width, uint32_t height, uint32_t background) {
    // An X server starts over when its last client leaves (Xvfb between two tests)
    // and refuses connections until it is back.
    if (std::getenv("DISPLAY") == nullptr) return;
    waitFor([this] { return (display_ = XOpenDisplay(nullptr)) != nullptr; }, std::chrono::seconds(10));
    if (display_ == nullptr) return;
    g_errors[display_] = 0;
    if (!g_installed) {
        g_previous = XSetErrorHandler(countError);
        g_installed = true;
    }
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, width, height, 0, 0,
                                  background);  // the pixel value under 24-bit true colour
    XMapWindow(display_, window_);
    XSync(display_, False);
}

ParentWindow::~ParentWindow() {
    if (display_ == nullptr) return;
    destroy();
    g_errors.erase(display_);
    XCloseDisplay(display_);
}

void ParentWindow::destroy() {
    if (window_ == 0) return;
    XDestroyWindow(display_, window_);
    window_ = 0;
    XSync(display_, False);
}

bool ParentWindow::trueColour(std::string& why) const {
    Visual* visual = DefaultVisual(display_, DefaultScreen(display_));
    if (visual->c_class == TrueColor && visual->red_mask == 0xff0000 && visual->green_mask == 0xff00 &&
        visual->blue_mask == 0xff)
        return true;
    why = "the screen has no 24-bit true colour visual (run Xvfb with -screen 0 1280x1024x24)";
    return false;
}

clap_window ParentWindow::clapWindow() const {
    clap_window w{};
    w.api = CLAP_WINDOW_API_X11;
    w.x11 = window_;
    return w;
}

std::vector<unsigned long> ParentWindow::children() const {
    Window root = 0, parent = 0, *list = nullptr;
    unsigned int count = 0;
    std::vector<unsigned long> out;
    if (window_ == 0 || XQueryTree(display_, window_, &root, &parent, &list, &count) == 0) return out;
    out.assign(list, list + count);
    if (list != nullptr) XFree(list);
    return out;
}

unsigned long ParentWindow::child() const {
    const std::vector<unsigned long> all = children();
    return all.size() == 1 ? all.front() : 0;
}

void ParentWindow::sendPointer(unsigned long window, int type, int x, int y, unsigned int state) {
    // Button and motion events share their leading fields; only these differ.
    XEvent e{};
    XButtonEvent& b = e.xbutton;
    b.type = type;
    b.display = display_;
    b.window = window;
    b.root = DefaultRootWindow(display_);
    b.x = x;
    b.y = y;
    b.state = state;
    b.same_screen = True;
    if (type == MotionNotify) {
        e.xmotion.is_hint = NotifyNormal;
    } else {
        b.button = Button1;
    }
    const long mask = type == ButtonPress ? ButtonPressMask : type == ButtonRelease ? ButtonReleaseMask : PointerMotionMask;
    XSendEvent(display_, window, False, mask, &e);
}

void ParentWindow::press(unsigned long window, int x, int y) { sendPointer(window, ButtonPress, x, y, 0); }

void ParentWindow::drag(unsigned long window, int x, int y) { sendPointer(window, MotionNotify, x, y, Button1Mask); }

void ParentWindow::release(unsigned long window, int x, int y) {
    sendPointer(window, ButtonRelease, x, y, Button1Mask);
}

void ParentWindow::sync() { XSync(display_, False); }

Screenshot grabWindow(_XDisplay* display, unsigned long window) {
    Screenshot shot;
    XWindowAttributes a{};
    if (XGetWindowAttributes(display, window, &a) == 0 || a.map_state != IsViewable) return shot;
    XImage* image = XGetImage(display, window, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (image == nullptr) return shot;
    shot.width = a.width;
    shot.height = a.height;
    shot.pixels.resize(static_cast<size_t>(a.width) * a.height);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            shot.pixels[static_cast<size_t>(y) * a.width + x] = static_cast<uint32_t>(XGetPixel(image, x, y) & 0xffffff);
    XDestroyImage(image);
    return shot;
}

Screenshot ParentWindow::grab(unsigned long window) { return grabWindow(display_, window); }

uint32_t ParentWindow::pixel(unsigned long window, int x, int y) {
    XImage* image = XGetImage(display_, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return 0xffffffffu;
    const auto p = static_cast<uint32_t>(XGetPixel(image, 0, 0) & 0xffffff);
    XDestroyImage(image);
    return p;
}

int ParentWindow::errors() {
    XSync(display_, False);
    return g_errors[display_];
}

}  // namespace testsupport
