#pragma once
#include <cstdint>

#include "platform/DisplayBackend.h"

// What the show's window does with each window-system message, as plain data so that it can be
// checked without a window system. The numbers are the Win32 message codes; the Win32 backend
// checks them against the system's headers.
enum : uint32_t {
    MessageClose = 0x0010,
    MessageActivateApp = 0x001C,
    MessageSetCursor = 0x0020,
    MessageKeyDown = 0x0100,
};

constexpr uint32_t EscapeKeyCode = 27;

enum class MessageAction {
    Report,      // hand `event` to the display; the message is answered with 0
    HideCursor,  // take the cursor away; answered with 0
    Default,     // leave it to the system's default handling
};

struct MessageOutcome {
    MessageAction action = MessageAction::Default;
    DisplayEvent event = DisplayEvent::OtherKey;
};

// Activation (wParam non-zero: active), Escape (the low byte of wParam is 27) and other keys
// (swallowed), close requests; everything else goes to the default handling.
MessageOutcome handleWindowMessage(uint32_t message, uint64_t wParam);

// Events reported from inside the window procedure until the display asks for them. Holds a few;
// when full, a newer activation change replaces the last queued one if that was an activation
// change too, an exit request replaces the last entry, and other keys are dropped: the display
// always learns the latest activation state and never misses an exit request.
struct DisplayEventQueue {
    static constexpr int32_t capacity = 16;
    DisplayEvent events[capacity] = {};
    int32_t first = 0;
    int32_t count = 0;

    static void push(DisplayEventQueue& queue, DisplayEvent event);
    // The oldest event; false when empty.
    static bool pop(DisplayEventQueue& queue, DisplayEvent* event);
};
