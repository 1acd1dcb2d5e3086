#include "platform/web/WebSilentClock.h"

#include "platform/web/WebPage.h"

// The passes' interval. The player's worker polls every 5 ms; browsers run page timers no more
// often than every 4 ms or so, and the two-second ring needs far less.
static constexpr int passMilliseconds = 10;

WebSilentClock::~WebSilentClock() { stopTimer(); }

bool WebSilentClock::open(uint32_t sampleRate) { return clock_.open(sampleRate); }

bool WebSilentClock::play(const int16_t* ring, uint32_t ringBytes) { return clock_.play(ring, ringBytes); }

uint64_t WebSilentClock::bytesPlayed() { return clock_.bytesPlayed(); }

bool WebSilentClock::refillBySelf(RefillPass pass, void* player) {
    stopTimer();
    timer_ = intro_timer_start(passMilliseconds, pass, player);
    return true;
}

void WebSilentClock::stopTimer() {
    if (timer_ != 0) intro_timer_stop(timer_);
    timer_ = 0;
}

void WebSilentClock::reset() {
    stopTimer();
    clock_.reset();
}

void WebSilentClock::close() {
    stopTimer();
    clock_.close();
}
