// A rectangle of the frame that draws itself and may take mouse input.
#pragma once

#include <memory>

#include "lumivex_ui/canvas.h"
#include "lumivex_ui/colour.h"
#include "lumivex_ui/geometry.h"
#include "lumivex_ui/mouse.h"

namespace lumivex::ui {

class Frame;

class View {
public:
    explicit View(const Rect& rect);
    // A copy has the same rectangle and settings but belongs to no frame.
    View(const View& other);
    View& operator=(const View&) = delete;
    virtual ~View();

    virtual std::unique_ptr<View> clone() const;

    const Rect& rect() const { return rect_; }
    // Moves or resizes the view; the old and new areas are redrawn.
    void setRect(const Rect& rect);

    // An opaque view (the default) fills its rectangle with its background colour
    // before drawing; a transparent one leaves what lies beneath.
    bool transparent() const { return transparent_; }
    void setTransparent(bool transparent) { transparent_ = transparent; }
    Colour backgroundColour() const { return background_; }
    void setBackgroundColour(Colour c) { background_ = c; }

    // A view with mouse input disabled is passed over when the frame looks for the
    // view under the pointer.
    bool mouseEnabled() const { return mouseEnabled_; }
    void setMouseEnabled(bool enabled) { mouseEnabled_ = enabled; }

    // A dirty view is redrawn at the frame's next flush.
    bool dirty() const { return dirty_; }
    void setDirty(bool dirty = true) { dirty_ = dirty; }
    // Marks the view dirty and its rectangle damaged.
    void invalidate();

    Frame* frame() const { return frame_; }

    // Draws in frame coordinates, clipped to the view's rectangle, with the canvas's
    // settings at their defaults. Draws the background (when opaque) and clears the
    // dirty flag.
    virtual void draw(Canvas& canvas);

    // Mouse positions are in frame coordinates (points).
    virtual MouseResult onMouseDown(Point where, MouseButtons buttons);
    virtual MouseResult onMouseMoved(Point where, MouseButtons buttons);
    virtual MouseResult onMouseUp(Point where, MouseButtons buttons);
    // The press this view took will get no release (the view or the frame goes away).
    virtual void onMouseCancel();
    // notches: positive away from the user (wheel up). True when handled.
    virtual bool onWheel(Point where, double notches, MouseButtons buttons);

private:
    friend class Frame;

    Rect rect_;
    Colour background_{0, 0, 0, 0};
    bool transparent_ = false;
    bool mouseEnabled_ = true;
    bool dirty_ = false;
    Frame* frame_ = nullptr;
};

}  // namespace lumivex::ui
