#pragma once
#include <cstdint>

#include "platform/AudioDevice.h"

// A sound device whose play position moves only when its driver says so, and which runs the
// player's refill passes itself, right after each move: no worker thread, every run gives the same
// sound, and programs that cannot start threads (the browser build's check) can use it. Every byte
// the position passes over is handed to a sink.
class SteppedAudioDevice final : public AudioDevice {
public:
    // Receives frames frames of interleaved 16-bit stereo, inside advance.
    using Sink = void (*)(void* user, const int16_t* samples, uint32_t frames);

    void setSink(Sink sink, void* user);
    // Moves the position on by bytes (whole frames; at most one ring), hands the bytes passed over
    // to the sink, then runs the player's pass, so the next advance finds the ring refilled.
    void advance(uint32_t bytes);
    bool isPlaying() const;

    bool open(uint32_t sampleRate) override;
    bool play(const int16_t* ring, uint32_t ringBytes) override;
    uint64_t bytesPlayed() override;
    void reset() override;
    void close() override;
    bool refillBySelf(RefillPass pass, void* player) override;

private:
    Sink sink_ = nullptr;
    void* sinkUser_ = nullptr;
    RefillPass pass_ = nullptr;
    void* player_ = nullptr;
    const int16_t* ring_ = nullptr;
    uint32_t ringBytes_ = 0;
    uint64_t played_ = 0;
};
