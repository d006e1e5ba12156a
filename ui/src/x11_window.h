// The frame's X11 side: a child window of a host window on a connection of its own,
// its events translated into the frame's terms, and copying buffer pixels onto it.
#pragma once

#include <cairo.h>

#include <memory>
#include <vector>

#include "lumivex_ui/mouse.h"

struct _XDisplay;
struct _XGC;
union _XEvent;

namespace lumivex::ui {

struct PixelRect {
    int x;
    int y;
    int width;
    int height;
};

struct WindowEvent {
    enum class Kind { Exposed, Pressed, Released, Moved, Wheeled };
    Kind kind = Kind::Moved;
    double x = 0.0;  // pointer in window pixels
    double y = 0.0;
    MouseButtons buttons;
    double notches = 0.0;  // Wheeled: positive away from the user
    PixelRect area{};      // Exposed
};

class X11Window {
public:
    // Null when the display cannot be opened or the parent is not a window.
    static std::unique_ptr<X11Window> open(unsigned long parent, const char* displayName, uint32_t width,
                                           uint32_t height);
    ~X11Window();
    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    _XDisplay* display() const { return display_; }
    unsigned long id() const { return window_; }
    int fd() const;
    // False once the connection is lost or the window was destroyed from outside
    // (with its parent, say).
    bool alive() const;

    void resize(uint32_t width, uint32_t height);
    // Appends every pending event; consecutive motions collapse into the last one.
    void readEvents(std::vector<WindowEvent>& out);
    // Copies the rectangles of the buffer (an image surface of the window's size) onto
    // the window.
    void present(cairo_surface_t* buffer, const std::vector<PixelRect>& areas);

private:
    X11Window(_XDisplay* display, unsigned long window, void* visual, int width, int height, _XGC* gc, int depth);
    void translate(const _XEvent& event, std::vector<WindowEvent>& out);
    void putImage(cairo_surface_t* buffer, const std::vector<PixelRect>& areas);
    void presentThroughCairo(cairo_surface_t* buffer, const std::vector<PixelRect>& areas);

    _XDisplay* display_;
    unsigned long window_;
    void* visual_;  // the parent's Visual (Xlib's type has no name to declare here)
    int width_;
    int height_;
    // Set when the window's pixels have the buffer's layout (32-bit xRGB), so the
    // buffer goes to the server as it is; null otherwise.
    _XGC* gc_;
    int depth_;
    bool destroyed_ = false;
};

}  // namespace lumivex::ui
