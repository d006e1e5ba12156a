// The frame in a real X11 window (Xvfb in CI). Events are sent through the X server
// with XSendEvent from a second connection; a round trip on the frame's connection
// then guarantees they are queued before pumpEvents() runs.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include "lumivex_ui/frame.h"
#include "lumivex_ui/knob.h"
#include "ui_test_support.h"

// Last: Xlib's macros (None, Bool, Status...) would upset the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace lumivex::ui {
namespace {

using Log = std::vector<std::string>;

class Swatch : public View {
public:
    Swatch(const Rect& r, Colour c, Log& log) : View(r), colour(c), log_(log) {}
    void draw(Canvas& canvas) override {
        ++draws;
        canvas.setFillColour(colour);
        canvas.drawRect(rect(), PaintStyle::Fill);
        setDirty(false);
    }
    MouseResult onMouseDown(Point p, MouseButtons b) override {
        record("down", p, b);
        return MouseResult::Handled;
    }
    MouseResult onMouseMoved(Point p, MouseButtons b) override {
        record("move", p, b);
        return MouseResult::Handled;
    }
    MouseResult onMouseUp(Point p, MouseButtons b) override {
        record("up", p, b);
        return MouseResult::Handled;
    }
    bool onWheel(Point p, double notches, MouseButtons b) override {
        record(notches > 0 ? "wheel+" : "wheel-", p, b);
        return true;
    }
    Colour colour;
    int draws = 0;

private:
    void record(const char* what, Point p, MouseButtons b) {
        char text[80];
        std::snprintf(text, sizeof text, "%s %g,%g %x", what, p.x, p.y, b.flags);
        log_.push_back(text);
    }
    Log& log_;
};

class FrameWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        display_ = XOpenDisplay(nullptr);
        if (display_ == nullptr) GTEST_SKIP() << "no X display";
        parent_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 300, 200, 0, 0, 0);
        XMapWindow(display_, parent_);
        XSync(display_, False);
    }
    void TearDown() override {
        if (display_ == nullptr) return;
        frame.close();
        if (parent_ != 0) XDestroyWindow(display_, parent_);
        XCloseDisplay(display_);
    }

    // Everything sent so far reaches the frame's queue, then the frame handles it.
    void pump() {
        XSync(display_, False);
        if (frame.x11Display() != nullptr) XSync(frame.x11Display(), False);
        frame.pumpEvents();
    }

    void sendButton(int type, unsigned int button, int x, int y, unsigned int state = 0) {
        XEvent e{};
        e.xbutton.type = type;
        e.xbutton.display = display_;
        e.xbutton.window = frame.windowId();
        e.xbutton.root = DefaultRootWindow(display_);
        e.xbutton.x = x;
        e.xbutton.y = y;
        e.xbutton.button = button;
        e.xbutton.state = state;
        e.xbutton.same_screen = True;
        XSendEvent(display_, frame.windowId(), False, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &e);
    }

    void sendMotion(int x, int y, unsigned int state) {
        XEvent e{};
        e.xmotion.type = MotionNotify;
        e.xmotion.display = display_;
        e.xmotion.window = frame.windowId();
        e.xmotion.x = x;
        e.xmotion.y = y;
        e.xmotion.state = state;
        e.xmotion.same_screen = True;
        XSendEvent(display_, frame.windowId(), False, PointerMotionMask, &e);
    }

    // The screen's pixel as 0xRRGGBB (the parent, and so the frame, sit at the root's
    // top-left corner), read through the server.
    unsigned long screenPixel(int x, int y) {
        if (frame.x11Display() != nullptr) XSync(frame.x11Display(), False);
        XImage* image = XGetImage(display_, DefaultRootWindow(display_), x, y, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr) return ~0ul;
        const unsigned long pixel = XGetPixel(image, 0, 0) & 0xffffffu;
        XDestroyImage(image);
        return pixel;
    }

    Display* display_ = nullptr;
    Window parent_ = 0;
    Frame frame{100, 50};
    Log log;
};

TEST_F(FrameWindowTest, OpensAChildWindowOfTheParentAtThePixelSize) {
    ASSERT_TRUE(frame.setZoom(2.0));
    ASSERT_TRUE(frame.open(parent_));
    EXPECT_TRUE(frame.isOpen());
    EXPECT_GE(frame.connectionFd(), 0);
    EXPECT_FALSE(frame.open(parent_));  // already open

    Window root = 0, parentOf = 0, *children = nullptr;
    unsigned int count = 0;
    ASSERT_NE(XQueryTree(display_, frame.windowId(), &root, &parentOf, &children, &count), 0);
    if (children != nullptr) XFree(children);
    EXPECT_EQ(parentOf, parent_);
    XWindowAttributes a{};
    ASSERT_NE(XGetWindowAttributes(display_, frame.windowId(), &a), 0);
    EXPECT_EQ(a.width, 200);
    EXPECT_EQ(a.height, 100);
    EXPECT_EQ(a.map_state, IsViewable);

    frame.setZoom(1.0);
    pump();
    ASSERT_NE(XGetWindowAttributes(display_, frame.windowId(), &a), 0);
    EXPECT_EQ(a.width, 100);
}

TEST_F(FrameWindowTest, ABadParentIsRefusedAndTheProcessCarriesOn) {
    EXPECT_FALSE(frame.open(0x7fffff0));
    EXPECT_FALSE(frame.isOpen());
    EXPECT_TRUE(frame.open(parent_));
}

TEST_F(FrameWindowTest, ShowsTheFaceAndRedrawsAChangedView) {
    frame.setBackgroundColour({0, 0, 255, 255});
    auto* swatch = frame.emplaceView<Swatch>(Rect::fromSize(10, 10, 20, 20), Colour{255, 0, 0, 255}, log);
    ASSERT_TRUE(frame.open(parent_));
    pump();  // the first expose
    EXPECT_EQ(screenPixel(5, 5), 0x0000ffu);
    EXPECT_EQ(screenPixel(15, 15), 0xff0000u);

    swatch->colour = {0, 255, 0, 255};
    swatch->invalidate();
    pump();
    EXPECT_EQ(screenPixel(15, 15), 0x00ff00u);
}

TEST_F(FrameWindowTest, ExposeRepaintsFromTheBufferWithoutRedrawingViews) {
    frame.setBackgroundColour({0, 0, 255, 255});
    auto* swatch = frame.emplaceView<Swatch>(Rect::fromSize(0, 0, 10, 10), Colour{255, 0, 0, 255}, log);
    ASSERT_TRUE(frame.open(parent_));
    pump();
    const int drawsBefore = swatch->draws;
    // Cover the frame with a sibling window, then take it away: the server exposes.
    Window cover = XCreateSimpleWindow(display_, parent_, 0, 0, 100, 50, 0, 0, 0xffffff);
    XMapWindow(display_, cover);
    XSync(display_, False);
    EXPECT_EQ(screenPixel(50, 25), 0xffffffu);
    XDestroyWindow(display_, cover);
    pump();
    EXPECT_EQ(screenPixel(50, 25), 0x0000ffu);
    EXPECT_EQ(screenPixel(5, 5), 0xff0000u);
    EXPECT_EQ(swatch->draws, drawsBefore);
}

TEST_F(FrameWindowTest, ButtonsAndWheelReachTheViewInPoints) {
    frame.emplaceView<Swatch>(frame.bounds(), Colour{255, 0, 0, 255}, log);
    ASSERT_TRUE(frame.setZoom(2.0));
    ASSERT_TRUE(frame.open(parent_));
    sendButton(ButtonPress, Button1, 40, 20, ShiftMask);
    sendMotion(60, 30, Button1Mask);
    sendMotion(62, 32, Button1Mask);  // consecutive moves arrive as the last one
    sendButton(ButtonRelease, Button1, 64, 34, Button1Mask);
    sendButton(ButtonPress, Button4, 10, 10);
    sendButton(ButtonPress, Button5, 10, 10);
    sendButton(ButtonPress, 6, 10, 10);  // horizontal scrolling: ignored
    pump();
    EXPECT_EQ(log, (Log{"down 20,10 101", "move 31,16 1", "up 32,17 1", "wheel+ 5,5 0", "wheel- 5,5 0"}));
}

TEST_F(FrameWindowTest, ADragTurnsAKnobAndTheChangeIsShown) {
    Knob::setDefaultMode(KnobMode::Linear);
    ui::testing::RecordingListener listener;
    auto* knob = frame.emplaceView<Knob>(frame.bounds(), &listener, 5);
    ASSERT_TRUE(frame.open(parent_));
    sendButton(ButtonPress, Button1, 50, 40);
    sendMotion(50, 0, Button1Mask);
    sendButton(ButtonRelease, Button1, 50, 0, Button1Mask);
    pump();
    Knob::setDefaultMode(KnobMode::Circular);
    EXPECT_FLOAT_EQ(knob->value(), 0.2f);
    EXPECT_EQ(listener.log, (Log{"begin 5", "value 5 0.2", "end 5"}));
}

TEST_F(FrameWindowTest, ParentDestroyedUnderneathClosesTheFrame) {
    ASSERT_TRUE(frame.open(parent_));
    XDestroyWindow(display_, parent_);
    parent_ = 0;
    pump();
    EXPECT_FALSE(frame.isOpen());
    frame.pumpEvents();  // closed: nothing
}

TEST_F(FrameWindowTest, ALostConnectionClosesTheFrameInsteadOfExiting) {
    ASSERT_TRUE(frame.open(parent_));
    shutdown(frame.connectionFd(), SHUT_RDWR);
    frame.pumpEvents();
    EXPECT_FALSE(frame.isOpen());
}

TEST_F(FrameWindowTest, ReopensAfterClose) {
    ASSERT_TRUE(frame.open(parent_));
    frame.close();
    EXPECT_EQ(frame.connectionFd(), -1);
    EXPECT_TRUE(frame.open(parent_));
}

}  // namespace
}  // namespace lumivex::ui
