// The base view: rectangle, flags and the default (inert) mouse handling.
#include "lumivex_ui/view.h"

#include "lumivex_ui/frame.h"

namespace lumivex::ui {

View::View(const Rect& rect) : rect_(rect) {}

View::View(const View& other)
    : rect_(other.rect_),
      background_(other.background_),
      transparent_(other.transparent_),
      mouseEnabled_(other.mouseEnabled_) {}

View::~View() = default;

std::unique_ptr<View> View::clone() const { return std::make_unique<View>(*this); }

void View::setRect(const Rect& rect) {
    if (frame_ != nullptr) frame_->invalidRect(rect_);
    rect_ = rect;
    invalidate();
}

void View::invalidate() {
    dirty_ = true;
    if (frame_ != nullptr) frame_->invalidRect(rect_);
}

void View::draw(Canvas& canvas) {
    if (!transparent_ && background_.alpha != 0) {
        canvas.setFillColour(background_);
        canvas.drawRect(rect_, PaintStyle::Fill);
    }
    dirty_ = false;
}

MouseResult View::onMouseDown(Point, MouseButtons) { return MouseResult::NotHandled; }
MouseResult View::onMouseMoved(Point, MouseButtons) { return MouseResult::NotHandled; }
MouseResult View::onMouseUp(Point, MouseButtons) { return MouseResult::NotHandled; }
void View::onMouseCancel() {}
bool View::onWheel(Point, double, MouseButtons) { return false; }

}  // namespace lumivex::ui
