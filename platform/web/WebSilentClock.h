#pragma once
#include <cstdint>

#include "platform/AudioDevice.h"
#include "platform/common/SilentClockAudioDevice.h"

// The silent clock for a page whose sound cannot start: the desktop's silent clock, with its refill
// passes run by a page timer instead of the player's worker thread (a page has none).
class WebSilentClock final : public AudioDevice {
public:
    ~WebSilentClock();

    bool open(uint32_t sampleRate) override;
    bool play(const int16_t* ring, uint32_t ringBytes) override;
    uint64_t bytesPlayed() override;
    void reset() override;
    void close() override;
    bool refillBySelf(RefillPass pass, void* player) override;

private:
    void stopTimer();

    SilentClockAudioDevice clock_;
    int timer_ = 0;  // the page timer running the passes; 0 when none
};
