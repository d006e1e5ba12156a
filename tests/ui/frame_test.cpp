// The frame without a window: view order, mouse routing and capture, removal while
// dispatching, damage-driven redraws into the buffer, zoom and snapshots.
#include <gtest/gtest.h>

#include <stdexcept>

#include "lumivex_ui/frame.h"
#include "ui_test_support.h"

namespace lumivex::ui {
namespace {

using testing::pixelOf;
using Log = std::vector<std::string>;

constexpr MouseButtons kLeft{MouseButtons::kLeft};
constexpr Colour kGrey{50, 50, 50, 255};

// Fills its rectangle; records draws and mouse calls.
class Probe : public View {
public:
    Probe(const Rect& r, std::string name, Log& log, Colour fill = {200, 0, 0, 255})
        : View(r), name_(std::move(name)), log_(log), fill_(fill) {
        setTransparent(true);
    }
    void draw(Canvas& canvas) override {
        ++draws;
        canvas.setFillColour(fill_);
        canvas.drawRect(rect().grown(overdraw), PaintStyle::Fill);
        if (throwInDraw) throw std::runtime_error("draw failed");
        setDirty(false);
    }
    MouseResult onMouseDown(Point p, MouseButtons) override {
        record("down", p);
        if (onDown) onDown();
        return answer;
    }
    MouseResult onMouseMoved(Point p, MouseButtons) override {
        record("move", p);
        return MouseResult::Handled;
    }
    MouseResult onMouseUp(Point p, MouseButtons) override {
        record("up", p);
        return MouseResult::Handled;
    }
    void onMouseCancel() override { log_.push_back(name_ + " cancel"); }
    bool onWheel(Point p, double notches, MouseButtons) override {
        record("wheel " + std::to_string(static_cast<int>(notches)), p);
        return wheel;
    }

    MouseResult answer = MouseResult::Handled;
    bool wheel = true;
    bool throwInDraw = false;
    double overdraw = 0.0;
    int draws = 0;
    std::function<void()> onDown;

private:
    void record(const std::string& what, Point p) {
        log_.push_back(name_ + " " + what + " " + std::to_string(static_cast<int>(p.x)) + "," +
                       std::to_string(static_cast<int>(p.y)));
    }
    std::string name_;
    Log& log_;
    Colour fill_;
};

class FrameTest : public ::testing::Test {
protected:
    Frame frame{100, 50};
    Log log;
    Probe* below = frame.emplaceView<Probe>(Rect::fromSize(0, 0, 60, 50), "below", log);
    Probe* above = frame.emplaceView<Probe>(Rect::fromSize(40, 0, 60, 50), "above", log, Colour{0, 0, 200, 255});
};

TEST_F(FrameTest, PressGoesToTheTopmostViewAndItKeepsTheDrag) {
    EXPECT_EQ(frame.dispatchMouseDown({50, 10}, kLeft), MouseResult::Handled);
    EXPECT_EQ(frame.mouseCapture(), above);
    frame.dispatchMouseMoved({5, 10}, kLeft);  // over `below`, still `above`'s drag
    frame.dispatchMouseUp({5, 12}, kLeft);
    EXPECT_EQ(frame.mouseCapture(), nullptr);
    EXPECT_EQ(frame.dispatchMouseMoved({5, 10}, kLeft), MouseResult::NotHandled);
    EXPECT_EQ(frame.dispatchMouseUp({5, 10}, kLeft), MouseResult::NotHandled);
    EXPECT_EQ(log, (Log{"above down 50,10", "above move 5,10", "above up 5,12"}));
}

TEST_F(FrameTest, UnhandledPressFallsThroughDisabledViewsAreSkipped) {
    above->answer = MouseResult::NotHandled;
    frame.dispatchMouseDown({50, 10}, kLeft);
    EXPECT_EQ(frame.mouseCapture(), below);
    frame.dispatchMouseUp({50, 10}, kLeft);
    above->setMouseEnabled(false);
    below->answer = MouseResult::HandledNoCapture;
    EXPECT_EQ(frame.dispatchMouseDown({50, 10}, kLeft), MouseResult::HandledNoCapture);
    EXPECT_EQ(frame.mouseCapture(), nullptr);
    EXPECT_EQ(frame.dispatchMouseDown({70, 10}, kLeft), MouseResult::NotHandled);  // only `above` there
    EXPECT_EQ(log, (Log{"above down 50,10", "below down 50,10", "below up 50,10", "below down 50,10"}));
}

TEST_F(FrameTest, WheelGoesToTheTopmostViewThatTakesIt) {
    above->wheel = false;
    EXPECT_TRUE(frame.dispatchWheel({50, 10}, -1.0, {}));
    EXPECT_FALSE(frame.dispatchWheel({99, 10}, 1.0, {}));
    EXPECT_EQ(log, (Log{"above wheel -1 50,10", "below wheel -1 50,10", "above wheel 1 99,10"}));
}

TEST_F(FrameTest, AViewRemovingItselfDuringItsPressIsDeletedAfterwards) {
    above->onDown = [&] { EXPECT_TRUE(frame.removeView(above)); };
    EXPECT_EQ(frame.dispatchMouseDown({50, 10}, kLeft), MouseResult::Handled);
    EXPECT_EQ(frame.mouseCapture(), nullptr);  // gone from the frame: no capture
    EXPECT_EQ(frame.viewCount(), 1u);
}

TEST_F(FrameTest, RemovingTheCapturingViewCancelsItsPress) {
    frame.dispatchMouseDown({50, 10}, kLeft);
    EXPECT_TRUE(frame.removeView(above));
    EXPECT_EQ(frame.mouseCapture(), nullptr);
    EXPECT_EQ(log.back(), "above cancel");
}

TEST_F(FrameTest, ClosingAFrameThatNeverOpenedCancelsThePress) {
    EXPECT_FALSE(frame.isOpen());
    EXPECT_EQ(frame.connectionFd(), -1);
    EXPECT_EQ(frame.x11Display(), nullptr);
    frame.pumpEvents();  // closed: nothing
    frame.dispatchMouseDown({50, 10}, kLeft);
    frame.close();
    EXPECT_EQ(log.back(), "above cancel");
    EXPECT_EQ(frame.viewCount(), 2u);
}

TEST_F(FrameTest, OpenOnADisplayThatDoesNotExistIsRefused) {
    EXPECT_FALSE(frame.open(1, ":4711"));
    EXPECT_FALSE(frame.isOpen());
}

TEST_F(FrameTest, FlushRedrawsOnlyTheViewsMeetingTheDamage) {
    frame.setBackgroundColour(kGrey);
    EXPECT_EQ(frame.flush(), 2u);  // first flush: everything
    ASSERT_NE(frame.buffer(), nullptr);
    EXPECT_EQ(frame.flush(), 0u);
    EXPECT_FALSE(frame.needsRedraw());

    frame.invalidRect(Rect::fromSize(0, 0, 10, 10));  // `below` only
    EXPECT_EQ(frame.flush(), 1u);
    EXPECT_EQ(below->draws, 2);
    EXPECT_EQ(above->draws, 1);

    above->setDirty();  // a dirty view counts as damage too
    EXPECT_TRUE(frame.needsRedraw());
    EXPECT_EQ(frame.flush(), 2u);  // `below` overlaps `above`
    EXPECT_FALSE(above->dirty());
}

TEST_F(FrameTest, ViewsAreClippedToTheirRectangleAndDrawnInOrder) {
    frame.setBackgroundColour(kGrey);
    below->overdraw = 20.0;  // tries to paint over the whole frame
    frame.flush();
    Bitmap& buffer = *frame.buffer();
    EXPECT_EQ(pixelOf(buffer, 10, 10), (Colour{200, 0, 0, 255}));
    EXPECT_EQ(pixelOf(buffer, 50, 10), (Colour{0, 0, 200, 255}));  // `above` on top
    frame.removeView(above);
    frame.flush();
    EXPECT_EQ(pixelOf(buffer, 50, 10), (Colour{200, 0, 0, 255}));
    EXPECT_EQ(pixelOf(buffer, 70, 10), kGrey);  // not the overdraw
}

TEST_F(FrameTest, AViewFailingToDrawDoesNotStopTheOthers) {
    below->throwInDraw = true;
    EXPECT_EQ(frame.flush(), 2u);
    EXPECT_EQ(pixelOf(*frame.buffer(), 90, 10), (Colour{0, 0, 200, 255}));
}

TEST_F(FrameTest, BackgroundBitmapIsDrawnAtItsSizeInPoints) {
    frame.removeAllViews();
    frame.setBackgroundColour(kGrey);
    // 40 x 20 pixels at scale 2: 20 x 10 points.
    frame.setBackground(testing::makeBitmap(40, 20, [](int, int) { return Colour{0, 255, 0, 255}; }, 2.0));
    auto shot = frame.snapshot();
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(shot->pixelWidth(), 100u);
    EXPECT_EQ(pixelOf(*shot, 19, 9), (Colour{0, 255, 0, 255}));
    EXPECT_EQ(pixelOf(*shot, 21, 9), kGrey);
    EXPECT_EQ(pixelOf(*shot, 19, 11), kGrey);
}

TEST_F(FrameTest, ZoomScalesTheBufferAndTheDamageStaysInPoints) {
    EXPECT_FALSE(frame.setZoom(0.0));
    ASSERT_TRUE(frame.setZoom(1.5));
    EXPECT_EQ(frame.pixelWidth(), 150u);
    EXPECT_EQ(frame.pixelHeight(), 75u);
    frame.flush();
    ASSERT_NE(frame.buffer(), nullptr);
    EXPECT_EQ(frame.buffer()->pixelWidth(), 150u);
    EXPECT_DOUBLE_EQ(frame.buffer()->width(), 100.0);
    EXPECT_EQ(pixelOf(*frame.buffer(), 149, 74), (Colour{0, 0, 200, 255}));
    EXPECT_EQ(pixelOf(*frame.buffer(), 59, 74), (Colour{200, 0, 0, 255}));  // x 39.3 points
    EXPECT_EQ(pixelOf(*frame.buffer(), 60, 74), (Colour{0, 0, 200, 255}));  // x 40 points
}

TEST_F(FrameTest, DeletingTheFrameDeletesItsViews) {
    struct Counted : View {
        explicit Counted(int& n) : View(Rect::fromSize(0, 0, 1, 1)), alive(n) { ++alive; }
        ~Counted() override { --alive; }
        int& alive;
    };
    int alive = 0;
    {
        Frame f(10, 10);
        f.emplaceView<Counted>(alive);
        f.emplaceView<Counted>(alive);
        EXPECT_EQ(alive, 2);
        EXPECT_EQ(f.addView(nullptr), nullptr);
    }
    EXPECT_EQ(alive, 0);
}

}  // namespace
}  // namespace lumivex::ui
