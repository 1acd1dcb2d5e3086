#include "tools/programs/capture/FrameSchedule.h"

uint64_t soundFrameOf(uint64_t frame, FrameRate rate) {
    // 128-bit product: no frame count or denominator can overflow it.
    unsigned __int128 scaled = static_cast<unsigned __int128>(frame) * captureSampleRate * rate.denominator;
    return uint64_t(scaled / rate.numerator);
}

uint32_t soundFramesDuring(uint64_t frame, FrameRate rate) {
    return uint32_t(soundFrameOf(frame + 1, rate) - soundFrameOf(frame, rate));
}
