// Mouse buttons, modifier keys and what a view answers to a mouse event.
#pragma once

#include <cstdint>

namespace lumivex::ui {

struct MouseButtons {
    static constexpr uint32_t kLeft = 1u << 0;
    static constexpr uint32_t kMiddle = 1u << 1;
    static constexpr uint32_t kRight = 1u << 2;
    static constexpr uint32_t kButtonMask = kLeft | kMiddle | kRight;
    static constexpr uint32_t kShift = 1u << 8;
    static constexpr uint32_t kControl = 1u << 9;
    static constexpr uint32_t kAlt = 1u << 10;

    uint32_t flags = 0;

    // The left button is the only button down; modifier keys do not matter.
    constexpr bool isLeftOnly() const { return (flags & kButtonMask) == kLeft; }
    constexpr bool has(uint32_t bits) const { return (flags & bits) == bits; }

    friend bool operator==(const MouseButtons&, const MouseButtons&) = default;
};

enum class MouseResult {
    NotHandled,        // the frame offers the press to the next view underneath
    Handled,           // this view takes the following moves and the release
    HandledNoCapture,  // handled; the moves and release go nowhere
};

}  // namespace lumivex::ui
