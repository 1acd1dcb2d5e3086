#pragma once
#include <chrono>
#include <cstdint>

#include "platform/AudioDevice.h"

// The device used when no sound device can be opened: plays nothing, and reports the bytes that a
// real device would have played by now (176400 per second at 44100 Hz, measured on a monotonic
// clock), so a show driven by the song position still advances and ends.
class SilentClockAudioDevice final : public AudioDevice {
public:
    bool open(uint32_t sampleRate) override;
    bool play(const int16_t* ring, uint32_t ringBytes) override;
    uint64_t bytesPlayed() override;
    void reset() override;
    void close() override;

private:
    uint32_t bytesPerSecond_ = 176400;
    bool playing_ = false;
    std::chrono::steady_clock::time_point started_{};
};
