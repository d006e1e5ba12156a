// Window creation, event translation and presentation with cairo-xlib.
#include "x11_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>

#include <algorithm>
#include <cstdint>

#include "x11_errors.h"

namespace lumivex::ui {

namespace {

constexpr long kEventMask =
    ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | StructureNotifyMask;

uint32_t modifiers(unsigned int state) {
    uint32_t flags = 0;
    if (state & ShiftMask) flags |= MouseButtons::kShift;
    if (state & ControlMask) flags |= MouseButtons::kControl;
    if (state & Mod1Mask) flags |= MouseButtons::kAlt;
    return flags;
}

uint32_t heldButtons(unsigned int state) {
    uint32_t flags = 0;
    if (state & Button1Mask) flags |= MouseButtons::kLeft;
    if (state & Button2Mask) flags |= MouseButtons::kMiddle;
    if (state & Button3Mask) flags |= MouseButtons::kRight;
    return flags;
}

// A window whose pixels are 32-bit words holding 0xRRGGBB (the alpha byte unused
// or alpha) takes cairo's ARGB32 buffer unchanged.
bool takesArgb32(Display* display, const XWindowAttributes& attributes) {
    const Visual* v = attributes.visual;
    if (v == nullptr || v->c_class != TrueColor || v->red_mask != 0xff0000 || v->green_mask != 0xff00 ||
        v->blue_mask != 0xff || (attributes.depth != 24 && attributes.depth != 32)) {
        return false;
    }
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    bool found = false;
    for (int i = 0; i < count; ++i) found |= formats[i].depth == attributes.depth && formats[i].bits_per_pixel == 32;
    if (formats != nullptr) XFree(formats);
    return found;
}

uint32_t buttonFlag(unsigned int button) {
    switch (button) {
        case Button1: return MouseButtons::kLeft;
        case Button2: return MouseButtons::kMiddle;
        case Button3: return MouseButtons::kRight;
        default: return 0;
    }
}

}  // namespace

std::unique_ptr<X11Window> X11Window::open(unsigned long parent, const char* displayName, uint32_t width,
                                           uint32_t height) {
    if (parent == 0 || width == 0 || height == 0) return nullptr;
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr) return nullptr;
    x11::watch(display);
    const auto fail = [display]() -> std::unique_ptr<X11Window> {
        x11::unwatch(display);
        XCloseDisplay(display);
        return nullptr;
    };

    XWindowAttributes parentAttributes{};
    if (XGetWindowAttributes(display, parent, &parentAttributes) == 0 || x11::takeError(display) != 0) return fail();

    XSetWindowAttributes attributes{};
    attributes.event_mask = kEventMask;
    attributes.background_pixmap = None;  // the server never clears it: no flicker
    attributes.bit_gravity = NorthWestGravity;
    const Window window = XCreateWindow(display, parent, 0, 0, width, height, 0, CopyFromParent, InputOutput,
                                        CopyFromParent, CWEventMask | CWBackPixmap | CWBitGravity, &attributes);
    XMapWindow(display, window);
    XSync(display, False);
    if (window == 0 || x11::takeError(display) != 0 || x11::connectionLost(display)) return fail();

    GC gc = takesArgb32(display, parentAttributes) ? XCreateGC(display, window, 0, nullptr) : nullptr;
    return std::unique_ptr<X11Window>(new X11Window(display, window, parentAttributes.visual, static_cast<int>(width),
                                                    static_cast<int>(height), gc, parentAttributes.depth));
}

X11Window::X11Window(Display* display, Window window, void* visual, int width, int height, GC gc, int depth)
    : display_(display), window_(window), visual_(visual), width_(width), height_(height), gc_(gc), depth_(depth) {}

X11Window::~X11Window() {
    const bool lost = x11::connectionLost(display_);
    // Also on a dead connection: the request goes nowhere, the GC's memory is freed.
    if (gc_ != nullptr) XFreeGC(display_, gc_);
    if (!lost) {
        if (!destroyed_) XDestroyWindow(display_, window_);
        XSync(display_, False);  // errors of a parent already gone are ours to swallow
    }
    x11::unwatch(display_);
    XCloseDisplay(display_);
}

int X11Window::fd() const { return ConnectionNumber(display_); }

bool X11Window::alive() const { return !destroyed_ && !x11::connectionLost(display_); }

void X11Window::resize(uint32_t width, uint32_t height) {
    if (!alive() || width == 0 || height == 0) return;
    XResizeWindow(display_, window_, width, height);
    width_ = static_cast<int>(width);
    height_ = static_cast<int>(height);
    XFlush(display_);
}

void X11Window::readEvents(std::vector<WindowEvent>& out) {
    while (alive() && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (x11::connectionLost(display_)) break;
        translate(event, out);
    }
    x11::takeError(display_);  // errors are answered where they matter; drop the rest
}

void X11Window::translate(const XEvent& event, std::vector<WindowEvent>& out) {
    switch (event.type) {
        case Expose: {
            const XExposeEvent& e = event.xexpose;
            WindowEvent w;
            w.kind = WindowEvent::Kind::Exposed;
            w.area = {e.x, e.y, e.width, e.height};
            out.push_back(w);
            break;
        }
        case ButtonPress: {
            const XButtonEvent& e = event.xbutton;
            WindowEvent w;
            w.kind = WindowEvent::Kind::Pressed;
            w.x = e.x;
            w.y = e.y;
            w.buttons.flags = heldButtons(e.state) | buttonFlag(e.button) | modifiers(e.state);
            if (e.button == Button4 || e.button == Button5) {
                w.kind = WindowEvent::Kind::Wheeled;
                w.notches = e.button == Button4 ? 1.0 : -1.0;
                w.buttons.flags = heldButtons(e.state) | modifiers(e.state);
            } else if (buttonFlag(e.button) == 0) {
                break;  // horizontal scrolling and extra buttons
            }
            out.push_back(w);
            break;
        }
        case ButtonRelease: {
            const XButtonEvent& e = event.xbutton;
            if (buttonFlag(e.button) == 0) break;
            WindowEvent w;
            w.kind = WindowEvent::Kind::Released;
            w.x = e.x;
            w.y = e.y;
            w.buttons.flags = buttonFlag(e.button) | modifiers(e.state);
            out.push_back(w);
            break;
        }
        case MotionNotify: {
            const XMotionEvent& e = event.xmotion;
            WindowEvent w;
            w.kind = WindowEvent::Kind::Moved;
            w.x = e.x;
            w.y = e.y;
            w.buttons.flags = heldButtons(e.state) | modifiers(e.state);
            if (!out.empty() && out.back().kind == WindowEvent::Kind::Moved) {
                out.back() = w;
            } else {
                out.push_back(w);
            }
            break;
        }
        case DestroyNotify:
            if (event.xdestroywindow.window == window_) destroyed_ = true;
            break;
        default:
            break;
    }
}

void X11Window::present(cairo_surface_t* buffer, const std::vector<PixelRect>& areas) {
    if (!alive() || buffer == nullptr || areas.empty()) return;
    // Plain XPutImage where the pixel layouts agree: cairo's own X path would send
    // big areas through shared memory and, on cairo 1.16, loses track of a segment
    // record now and then when the display closes.
    if (gc_ != nullptr && cairo_image_surface_get_format(buffer) == CAIRO_FORMAT_ARGB32) {
        putImage(buffer, areas);
    } else {
        presentThroughCairo(buffer, areas);
    }
}

void X11Window::putImage(cairo_surface_t* buffer, const std::vector<PixelRect>& areas) {
    cairo_surface_flush(buffer);
    XImage image{};
    image.width = cairo_image_surface_get_width(buffer);
    image.height = cairo_image_surface_get_height(buffer);
    image.format = ZPixmap;
    image.data = reinterpret_cast<char*>(cairo_image_surface_get_data(buffer));
    // cairo's pixels are native-endian words; Xlib swaps them when the server differs.
    const uint32_t probe = 1;
    image.byte_order = *reinterpret_cast<const unsigned char*>(&probe) == 1 ? LSBFirst : MSBFirst;
    image.bitmap_unit = 32;
    image.bitmap_bit_order = image.byte_order;
    image.bitmap_pad = 32;
    image.depth = depth_;
    image.bytes_per_line = cairo_image_surface_get_stride(buffer);
    image.bits_per_pixel = 32;
    image.red_mask = 0xff0000;
    image.green_mask = 0xff00;
    image.blue_mask = 0xff;
    if (image.data == nullptr || XInitImage(&image) == 0) return;
    for (const PixelRect& a : areas) {
        const int x0 = std::max(a.x, 0);
        const int y0 = std::max(a.y, 0);
        const int x1 = std::min({a.x + a.width, image.width, width_});
        const int y1 = std::min({a.y + a.height, image.height, height_});
        if (x1 > x0 && y1 > y0) {
            XPutImage(display_, window_, gc_, &image, x0, y0, x0, y0, static_cast<unsigned>(x1 - x0),
                      static_cast<unsigned>(y1 - y0));
        }
    }
    XFlush(display_);
}

void X11Window::presentThroughCairo(cairo_surface_t* buffer, const std::vector<PixelRect>& areas) {
    // A surface per presentation: one left alive when the connection dies could
    // never be destroyed (cairo would wait for the dead server).
    cairo_surface_t* surface = cairo_xlib_surface_create(display_, window_, static_cast<Visual*>(visual_), width_, height_);
    cairo_t* cr = cairo_create(surface);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, buffer, 0.0, 0.0);
    for (const PixelRect& a : areas) cairo_rectangle(cr, a.x, a.y, a.width, a.height);
    cairo_fill(cr);
    cairo_destroy(cr);
    if (x11::connectionLost(display_)) return;  // lost on the way: leave the surface be
    cairo_surface_destroy(surface);
    XFlush(display_);
}

}  // namespace lumivex::ui
