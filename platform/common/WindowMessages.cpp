#include "platform/common/WindowMessages.h"

MessageOutcome handleWindowMessage(uint32_t message, uint64_t wParam) {
    switch (message) {
    case MessageActivateApp:
        return {MessageAction::Report, wParam != 0 ? DisplayEvent::Activated : DisplayEvent::Deactivated};
    case MessageSetCursor: return {MessageAction::HideCursor, DisplayEvent::OtherKey};
    case MessageKeyDown:
        return {MessageAction::Report,
                (wParam & 0xFF) == EscapeKeyCode ? DisplayEvent::EscapeKey : DisplayEvent::OtherKey};
    case MessageClose: return {MessageAction::Report, DisplayEvent::CloseRequest};
    default: return {MessageAction::Default, DisplayEvent::OtherKey};
    }
}

static bool isActivation(DisplayEvent event) {
    return event == DisplayEvent::Activated || event == DisplayEvent::Deactivated;
}

static bool isExit(DisplayEvent event) {
    return event == DisplayEvent::EscapeKey || event == DisplayEvent::CloseRequest;
}

void DisplayEventQueue::push(DisplayEventQueue& queue, DisplayEvent event) {
    if (queue.count < capacity) {
        queue.events[(queue.first + queue.count) % capacity] = event;
        ++queue.count;
        return;
    }
    DisplayEvent& last = queue.events[(queue.first + capacity - 1) % capacity];
    if (isExit(last)) return;
    if (isExit(event) || (isActivation(event) && isActivation(last))) last = event;
}

bool DisplayEventQueue::pop(DisplayEventQueue& queue, DisplayEvent* event) {
    if (queue.count == 0) return false;
    *event = queue.events[queue.first];
    queue.first = (queue.first + 1) % capacity;
    --queue.count;
    return true;
}
