#include "platform/common/WindowMessages.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/common/PlayedBytes.h"

namespace {

std::vector<DisplayEvent> drain(DisplayEventQueue& queue) {
    std::vector<DisplayEvent> events;
    DisplayEvent event;
    while (DisplayEventQueue::pop(queue, &event)) events.push_back(event);
    return events;
}

TEST(WindowMessages, ActivationKeysAndCloseBecomeEvents) {
    MessageOutcome active = handleWindowMessage(MessageActivateApp, 1);
    EXPECT_EQ(active.action, MessageAction::Report);
    EXPECT_EQ(active.event, DisplayEvent::Activated);
    // Any non-zero wParam is active; only 0 is inactive.
    EXPECT_EQ(handleWindowMessage(MessageActivateApp, 0x100000000ull).event, DisplayEvent::Activated);
    EXPECT_EQ(handleWindowMessage(MessageActivateApp, 0).event, DisplayEvent::Deactivated);

    EXPECT_EQ(handleWindowMessage(MessageKeyDown, 27).event, DisplayEvent::EscapeKey);
    // Only the low byte names the key.
    EXPECT_EQ(handleWindowMessage(MessageKeyDown, 0x11B).event, DisplayEvent::EscapeKey);
    MessageOutcome other = handleWindowMessage(MessageKeyDown, 'A');
    EXPECT_EQ(other.action, MessageAction::Report);
    EXPECT_EQ(other.event, DisplayEvent::OtherKey);

    EXPECT_EQ(handleWindowMessage(MessageClose, 0).event, DisplayEvent::CloseRequest);
    EXPECT_EQ(handleWindowMessage(MessageSetCursor, 0).action, MessageAction::HideCursor);
    // Key releases, system keys (Alt+F4 arrives as WM_SYSKEYDOWN, then WM_CLOSE) and paint go on.
    for (uint32_t message : {0x0101u, 0x0104u, 0x000Fu, 0x0002u})
        EXPECT_EQ(handleWindowMessage(message, 27).action, MessageAction::Default) << message;
}

TEST(WindowMessages, QueueKeepsOrderAndNeverLosesTheLatestStateOrAnExit) {
    DisplayEventQueue queue;
    DisplayEventQueue::push(queue, DisplayEvent::Activated);
    DisplayEventQueue::push(queue, DisplayEvent::OtherKey);
    DisplayEventQueue::push(queue, DisplayEvent::EscapeKey);
    EXPECT_EQ(drain(queue),
              (std::vector<DisplayEvent>{DisplayEvent::Activated, DisplayEvent::OtherKey, DisplayEvent::EscapeKey}));

    // Filled (wrapping round the array) with keys, then activation changes: the last slot follows
    // the newest state, other keys are dropped, and an exit request stays once it is in.
    for (int32_t i = 0; i < DisplayEventQueue::capacity - 1; ++i)
        DisplayEventQueue::push(queue, DisplayEvent::OtherKey);
    DisplayEventQueue::push(queue, DisplayEvent::Activated);
    DisplayEventQueue::push(queue, DisplayEvent::Deactivated);
    DisplayEventQueue::push(queue, DisplayEvent::OtherKey);
    std::vector<DisplayEvent> events = drain(queue);
    ASSERT_EQ(events.size(), size_t(DisplayEventQueue::capacity));
    EXPECT_EQ(events.back(), DisplayEvent::Deactivated);

    for (int32_t i = 0; i < DisplayEventQueue::capacity; ++i) DisplayEventQueue::push(queue, DisplayEvent::OtherKey);
    DisplayEventQueue::push(queue, DisplayEvent::CloseRequest);
    DisplayEventQueue::push(queue, DisplayEvent::Activated);
    events = drain(queue);
    EXPECT_EQ(events.back(), DisplayEvent::CloseRequest);
    DisplayEvent none;
    EXPECT_FALSE(DisplayEventQueue::pop(queue, &none));
}

TEST(PlayedBytes, CarriesTheCounterPastItsWrapAndIgnoresStepsBack) {
    PlayedBytes played;
    EXPECT_EQ(PlayedBytes::advance(played, 0), 0u);
    EXPECT_EQ(PlayedBytes::advance(played, 88400 * 4), 353600u);
    // Just before and after the 32-bit wrap: the count goes on past 2^32.
    PlayedBytes::advance(played, 0x80000000u);
    EXPECT_EQ(PlayedBytes::advance(played, 0xFFFFFF00u), 0xFFFFFF00ull);
    EXPECT_EQ(PlayedBytes::advance(played, 0x100u), 0x100000100ull);
    // A reading a little behind the last one leaves the count as it was, and it moves on from
    // the last reading, not from the one that stepped back.
    EXPECT_EQ(PlayedBytes::advance(played, 0x80u), 0x100000100ull);
    EXPECT_EQ(PlayedBytes::advance(played, 0x200u), 0x100000200ull);
    // Several wraps in steps below 2^31 each.
    for (int i = 0; i < 6; ++i) PlayedBytes::advance(played, uint32_t(0x200u + (uint64_t(i + 1) << 30)));
    EXPECT_EQ(played.total, 0x100000200ull + (6ull << 30));

    PlayedBytes::reset(played);
    EXPECT_EQ(PlayedBytes::advance(played, 4), 4u);
}

}  // namespace
