#pragma once
#include <chrono>
#include <cstdint>

#include "platform/AudioDevice.h"

// The device used when no sound device can be opened: plays nothing, and reports the bytes that a
// real device would have played by now (176400 per second at 44100 Hz, measured on a monotonic
// clock), so a show driven by the song position still advances and ends.
class SilentClockAudioDevice final : public AudioDevice {
public:
    // The clock the device reads: nanoseconds on any monotonic scale. The default is the steady
    // clock; a test hands in one it moves itself (set before play, read on the mixing worker).
    using TimeSource = int64_t (*)(void* user);
    void setTimeSource(TimeSource source, void* user);

    bool open(uint32_t sampleRate) override;
    bool play(const int16_t* ring, uint32_t ringBytes) override;
    uint64_t bytesPlayed() override;
    void reset() override;
    void close() override;

private:
    int64_t now() const;

    TimeSource source_ = nullptr;
    void* sourceUser_ = nullptr;
    uint32_t bytesPerSecond_ = 176400;
    bool playing_ = false;
    int64_t started_ = 0;  // nanoseconds on the time source when play started
};
