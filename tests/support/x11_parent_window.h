// A host's side of an embedded plug-in window in tests: a real X11 window on a
// connection of its own, mapped at the screen's top-left corner, and what a test
// does to the plug-in's child window in it: find it, send it pointer events through
// the server, read its pixels back. X errors on this connection are counted rather
// than ending the process. Main thread only; no display ($DISPLAY unset): opened()
// is false and nothing else may be called.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "clap/clap.h"

struct _XDisplay;

namespace testsupport {

// Pixels read back from a window, 0xRRGGBB row by row.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    bool empty() const { return pixels.empty(); }
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // Mean of (r + g + b) / 3 over the square of side 2 * radius + 1 around (x, y).
    double meanLevel(int x, int y, int radius) const;
    // How many pixels of that square differ from `other` by more than `tolerance` in
    // some channel (all of them when the two differ in size).
    int changedPixels(const Screenshot& other, int x, int y, int radius, int tolerance = 40) const;
    bool savePng(const std::string& path) const;
};

// The pixels of a viewable window (with the windows inside it) on any connection, or
// an empty shot when it cannot be read.
Screenshot grabWindow(_XDisplay* display, unsigned long window);

class ParentWindow {
public:
    // background: the window's colour as 0xRRGGBB.
    explicit ParentWindow(uint32_t width = 394, uint32_t height = 722, uint32_t background = 0);
    ~ParentWindow();
    ParentWindow(const ParentWindow&) = delete;
    ParentWindow& operator=(const ParentWindow&) = delete;

    bool opened() const { return display_ != nullptr; }
    // False (with the reason) when the screen cannot show true 24-bit colour.
    bool trueColour(std::string& why) const;
    unsigned long id() const { return window_; }
    clap_window clapWindow() const;
    // Destroys the window now (with every child window in it) and waits until the
    // server has done it.
    void destroy();

    // The windows directly inside this one, bottom to top (none once destroyed).
    std::vector<unsigned long> children() const;
    // The single child window, or 0 when there is none or more than one.
    unsigned long child() const;

    // Left-button pointer events at window coordinates of `window`, sent through the
    // server; sync() makes sure the server has queued them for their receiver.
    void press(unsigned long window, int x, int y);
    void drag(unsigned long window, int x, int y);  // a motion with the left button held
    void release(unsigned long window, int x, int y);
    void sync();

    // The window's pixels, or an empty shot when it cannot be read.
    Screenshot grab(unsigned long window);
    // One pixel of a viewable window as 0xRRGGBB; 0xffffffff when it cannot be read.
    uint32_t pixel(unsigned long window, int x, int y);
    // X errors on this connection since it opened (after a round trip to the server).
    int errors();

private:
    void sendPointer(unsigned long window, int type, int x, int y, unsigned int state);

    _XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
};

}  // namespace testsupport
