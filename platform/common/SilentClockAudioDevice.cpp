#include "platform/common/SilentClockAudioDevice.h"

void SilentClockAudioDevice::setTimeSource(TimeSource source, void* user) {
    source_ = source;
    sourceUser_ = user;
}

int64_t SilentClockAudioDevice::now() const {
    if (source_) return source_(sourceUser_);
    auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
    return int64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count());
}

bool SilentClockAudioDevice::open(uint32_t sampleRate) {
    bytesPerSecond_ = sampleRate * 4;
    playing_ = false;
    return sampleRate > 0;
}

bool SilentClockAudioDevice::play(const int16_t*, uint32_t) {
    started_ = now();
    playing_ = true;
    return true;
}

uint64_t SilentClockAudioDevice::bytesPlayed() {
    if (!playing_) return 0;
    int64_t elapsed = now() - started_;
    if (elapsed < 0) return 0;
    // Whole frames only: 4 bytes each.
    uint64_t bytes = uint64_t(elapsed) / 1000 * bytesPerSecond_ / 1000000;
    return bytes & ~uint64_t(3);
}

void SilentClockAudioDevice::reset() { playing_ = false; }

void SilentClockAudioDevice::close() { playing_ = false; }
