// The top of the view tree: owns its views, keeps an off-screen buffer of the
// whole face, redraws only what was damaged, routes mouse events, and shows the
// buffer in an X11 child window of a host's window.
//
// Everything but open/pumpEvents works without a display: views can be added,
// mouse events dispatched, damage flushed into the buffer and snapshots taken.
//
// Coordinates are points; the zoom says how many device pixels make a point.
//
// Driving it from a host (main thread only):
//  - open(parent) makes the window; register connectionFd() for reading and call
//    pumpEvents() when it is readable;
//  - call pumpEvents() (or flush()) after changing views outside of an event, for
//    example at the end of each timer tick, so the change reaches the screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "lumivex_ui/bitmap.h"
#include "lumivex_ui/canvas.h"
#include "lumivex_ui/colour.h"
#include "lumivex_ui/damage_region.h"
#include "lumivex_ui/geometry.h"
#include "lumivex_ui/mouse.h"
#include "lumivex_ui/view.h"

struct _XDisplay;

namespace lumivex::ui {

class X11Window;

class Frame {
public:
    // Size in points; a size that is not a positive number becomes 1.
    Frame(double width, double height);
    ~Frame();  // closes the window, then deletes the views
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    double width() const { return width_; }
    double height() const { return height_; }
    Rect bounds() const { return {0.0, 0.0, width_, height_}; }
    // Refuses (false) a zoom that is not a positive number; resizes the window.
    bool setZoom(double zoom);
    double zoom() const { return zoom_; }
    // lround(size x zoom), at least 1.
    uint32_t pixelWidth() const;
    uint32_t pixelHeight() const;

    // ---- views: drawn in the order added, so later views lie on top.
    // Takes the view over; returns it, or null for a null view or one already in a frame.
    View* addView(std::unique_ptr<View> view);
    template <class T, class... Args>
    T* emplaceView(Args&&... args) {
        auto view = std::make_unique<T>(std::forward<Args>(args)...);
        T* raw = view.get();
        addView(std::move(view));
        return raw;
    }
    // Deletes the view (after the event being dispatched, when called from one).
    // False when the view is not in this frame.
    bool removeView(View* view);
    void removeAllViews();
    size_t viewCount() const { return views_.size(); }
    View* viewAt(size_t index) const { return index < views_.size() ? views_[index].get() : nullptr; }

    // ---- background: the colour fills the frame, the bitmap (when set) is drawn
    // over it at its own size from the top-left corner.
    void setBackground(std::shared_ptr<Bitmap> bitmap);
    const std::shared_ptr<Bitmap>& background() const { return background_; }
    void setBackgroundColour(Colour c);

    // ---- damage and drawing
    void invalidRect(const Rect& r);
    void invalidate() { invalidRect(bounds()); }
    // Something is damaged or some view is dirty.
    bool needsRedraw() const;
    // Redraws the damage (rounded out to whole pixels) and the dirty views into the
    // buffer: the background and every view meeting the damage. Shows the redrawn
    // pixels in the window when open. Returns the number of views drawn.
    size_t flush();
    // The off-screen buffer (pixels, scale factor = zoom); null before the first flush.
    Bitmap* buffer() const { return buffer_.get(); }
    // Draws the background and the views that meet any of the areas onto the canvas,
    // clipped to the areas.
    size_t render(Canvas& canvas, const std::vector<Rect>& areas);
    // The whole frame at the current zoom in a new bitmap, apart from the buffer.
    std::shared_ptr<Bitmap> snapshot();

    // ---- mouse, in points. A press goes to the topmost mouse-enabled view under the
    // point that handles it; a view answering Handled captures the following moves,
    // presses and the release. Without a capture, moves and releases go nowhere.
    MouseResult dispatchMouseDown(Point where, MouseButtons buttons);
    MouseResult dispatchMouseMoved(Point where, MouseButtons buttons);
    MouseResult dispatchMouseUp(Point where, MouseButtons buttons);
    // To the topmost mouse-enabled view under the point that handles it.
    bool dispatchWheel(Point where, double notches, MouseButtons buttons);
    View* mouseCapture() const { return capture_; }

    // ---- the window
    // Makes the child window of parentWindow on the named display (null: $DISPLAY),
    // maps it and draws the whole face. False when already open, when the display
    // cannot be opened or the parent is not a window.
    bool open(unsigned long parentWindow, const char* displayName = nullptr);
    // Destroys the window and drops the connection; the views stay. A press in
    // progress is cancelled.
    void close();
    bool isOpen() const { return window_ != nullptr; }
    // The X connection's file descriptor; -1 when closed.
    int connectionFd() const;
    // Handles every pending X event (mouse, expose), then flushes. Nothing when
    // closed. A lost connection closes the frame.
    void pumpEvents();
    unsigned long windowId() const;
    _XDisplay* x11Display() const;

private:
    struct DispatchScope;
    void cancelCapture();
    void collectDirtyViews();
    View* topmostAt(Point where, size_t below) const;

    double width_;
    double height_;
    double zoom_ = 1.0;
    std::vector<std::unique_ptr<View>> views_;
    std::vector<std::unique_ptr<View>> removed_;  // deleted once dispatching ends
    int dispatchDepth_ = 0;
    View* capture_ = nullptr;
    std::shared_ptr<Bitmap> background_;
    Colour backgroundColour_{0, 0, 0, 255};
    DamageRegion damage_;
    std::shared_ptr<Bitmap> buffer_;
    std::unique_ptr<X11Window> window_;
};

}  // namespace lumivex::ui
