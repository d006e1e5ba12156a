// The frame's window: opening, closing and pumping X events.
#include "lumivex_ui/frame.h"
#include "x11_window.h"

namespace lumivex::ui {

bool Frame::open(unsigned long parentWindow, const char* displayName) {
    if (window_ != nullptr) return false;
    try {
        window_ = X11Window::open(parentWindow, displayName, pixelWidth(), pixelHeight());
    } catch (...) {
        window_.reset();
    }
    if (window_ == nullptr) return false;
    invalidate();
    flush();
    return true;
}

void Frame::close() {
    cancelCapture();
    window_.reset();
}

int Frame::connectionFd() const { return window_ != nullptr ? window_->fd() : -1; }

unsigned long Frame::windowId() const { return window_ != nullptr ? window_->id() : 0; }

_XDisplay* Frame::x11Display() const { return window_ != nullptr ? window_->display() : nullptr; }

void Frame::pumpEvents() {
    if (window_ == nullptr) return;
    try {
        std::vector<WindowEvent> events;
        window_->readEvents(events);
        DamageRegion exposed;  // in window pixels, merged over the whole batch
        for (const WindowEvent& e : events) {
            const Point where{e.x / zoom_, e.y / zoom_};
            switch (e.kind) {
                case WindowEvent::Kind::Exposed:
                    exposed.add(Rect::fromSize(e.area.x, e.area.y, e.area.width, e.area.height));
                    break;
                case WindowEvent::Kind::Pressed: dispatchMouseDown(where, e.buttons); break;
                case WindowEvent::Kind::Moved: dispatchMouseMoved(where, e.buttons); break;
                case WindowEvent::Kind::Released: dispatchMouseUp(where, e.buttons); break;
                case WindowEvent::Kind::Wheeled: dispatchWheel(where, e.notches, e.buttons); break;
            }
            if (window_ == nullptr) return;  // a listener closed the frame
        }
        if (!window_->alive()) {
            close();
            return;
        }
        flush();
        if (!exposed.empty() && buffer_ != nullptr) {
            std::vector<PixelRect> areas;
            for (const Rect& r : exposed.rects()) {
                areas.push_back({static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.width()),
                                 static_cast<int>(r.height())});
            }
            window_->present(buffer_->surface(), areas);
        }
    } catch (...) {
        // Nothing may escape into the host's event loop.
    }
}

}  // namespace lumivex::ui
