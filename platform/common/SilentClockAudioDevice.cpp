#include "platform/common/SilentClockAudioDevice.h"

bool SilentClockAudioDevice::open(uint32_t sampleRate) {
    bytesPerSecond_ = sampleRate * 4;
    playing_ = false;
    return sampleRate > 0;
}

bool SilentClockAudioDevice::play(const int16_t*, uint32_t) {
    started_ = std::chrono::steady_clock::now();
    playing_ = true;
    return true;
}

uint64_t SilentClockAudioDevice::bytesPlayed() {
    if (!playing_) return 0;
    auto elapsed = std::chrono::steady_clock::now() - started_;
    uint64_t nanoseconds = uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count());
    // Whole frames only: 4 bytes each.
    uint64_t bytes = nanoseconds / 1000 * bytesPerSecond_ / 1000000;
    return bytes & ~uint64_t(3);
}

void SilentClockAudioDevice::reset() { playing_ = false; }

void SilentClockAudioDevice::close() { playing_ = false; }
