#pragma once
#include <cstdint>

#include "platform/AudioDevice.h"

// Sound through the page's Web Audio context. The browser cannot read the ring while it is being
// played (the page runs on one thread), so the device copies it into pieces that the context
// plays back to back at 44100 Hz: right after play, and after every refill pass, the sound from
// the played position to half a ring ahead of it, which the player's 20 ms blocks have finished
// by then. The passes run on the page's thread whenever a piece has been played, so the player
// needs no worker thread, and half a ring (one second) of sound stays queued ahead of what is
// heard. The played position is the context's own clock less its output latency: what is heard.
class WebAudioDevice final : public AudioDevice {
public:
    ~WebAudioDevice();

    bool open(uint32_t sampleRate) override;
    bool play(const int16_t* ring, uint32_t ringBytes) override;
    uint64_t bytesPlayed() override;
    void reset() override;
    void close() override;
    bool refillBySelf(RefillPass pass, void* player) override;

private:
    static void piecePlayed(void* device);
    void queueAhead();

    const int16_t* ring_ = nullptr;
    uint32_t ringBytes_ = 0;
    uint64_t queued_ = 0;  // bytes of the stream handed to the context so far
    uint64_t played_ = 0;  // the last position reported
    RefillPass pass_ = nullptr;
    void* player_ = nullptr;
};
