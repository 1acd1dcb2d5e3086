#include "music/ChannelModulation.h"

#include <algorithm>
#include <cmath>

#include "core/PortableMath.h"

int32_t nibbleSlide(int32_t value, uint8_t memory, int32_t high) {
    if (memory >> 4) return std::min(value + (memory >> 4), high);
    return std::max(value - (memory & 15), 0);
}

void slideVolume(Channel& channel, Slide direction, int32_t amount) {
    if (direction == Slide::Up)
        channel.volume = std::min(channel.volume + amount, MaxVolume);
    else
        channel.volume = std::max(channel.volume - amount, 0);
    channel.flags |= UpdateVolume;
}

int32_t waveAmplitude(int32_t waveform, int32_t position) {
    switch (waveform) {
    // The constant is a float; the sine is taken in double. Its argument stays just short of a
    // quarter turn, so the peak is 255 (a float sine would round it up to 1 and give 256).
    case 0: return int32_t(std::fabs(portable::sin(2.0 * double(position) * double(0.049087375f))) * 256.0);
    case 1: {
        int32_t b = (position * 8) & 255;
        return position >= 0 ? b : 255 - b;
    }
    default: return 255;
    }
}

void vibrato(Channel& channel) {
    int32_t a = waveAmplitude(channel.waveControl & 3, channel.vibratoPosition);
    int32_t d = ((a * channel.vibratoDepth) >> 5) & ~3;
    channel.periodOffset = channel.vibratoPosition >= 0 ? -d : d;
    channel.flags |= UpdateFrequency;
}

namespace {

// Moves a vibrato or tremolo position on by speed, wrapping within -32..31.
void advanceWave(int8_t& position, uint8_t speed) {
    int32_t next = position + speed;
    if (next > 31) next -= 64;
    position = int8_t(next);
}

}  // namespace

void advanceVibrato(Channel& channel) { advanceWave(channel.vibratoPosition, channel.vibratoSpeed); }

void tremolo(Channel& channel) {
    int32_t waveform = (channel.waveControl >> 4) & 3;
    int32_t kind = waveform == 3 ? 0 : waveform;  // 0 and 3 sine, 1 ramp, 2 square
    int32_t a = waveAmplitude(kind, channel.tremoloPosition);
    int32_t o = (a * channel.tremoloDepth) >> 6;
    if (channel.tremoloPosition >= 0) {
        if (channel.volume + o > MaxVolume) o = MaxVolume - channel.volume;
        channel.volumeOffset = o;
    } else {
        channel.volumeOffset = -o < -channel.volume ? -channel.volume : -o;
    }
    advanceWave(channel.tremoloPosition, channel.tremoloSpeed);
    channel.flags |= UpdateVolume;
}

void tremorStep(Channel& channel) {
    if (channel.tremorCounter >= channel.tremorOn) channel.volumeOffset = -channel.volume;
    channel.tremorCounter = uint8_t(channel.tremorCounter + 1);
    if (channel.tremorCounter >= channel.tremorOn + channel.tremorOff) channel.tremorCounter = 0;
    channel.flags |= UpdateVolume;
}

void volumeSlide(Channel& channel) {
    channel.volume = nibbleSlide(channel.volume, channel.volumeSlideMemory, MaxVolume);
    channel.flags |= UpdateVolume;
}

void tonePortaStep(Channel& channel) {
    int32_t amount = channel.portaSpeed * 4;
    int32_t target = channel.portaTarget;
    if (channel.period < target)
        channel.period = std::min(channel.period + amount, target);
    else if (channel.period > target)
        channel.period = std::max(channel.period - amount, target);
    channel.flags |= UpdateFrequency;
}

void autoVibrato(Channel& channel, const Instrument& instrument) {
    int32_t position = channel.autoVibratoPosition;
    int32_t value = 0;
    switch (instrument.vibratoType) {
    case 0: value = int32_t(portable::sin(double(position) * double(0.024543688f)) * 64.0); break;  // peaks at +-63
    case 1: value = position < 128 ? 64 : -64; break;
    case 2: value = (128 - ((position + 128) % 256)) >> 1; break;
    case 3: value = (128 - ((384 - position) % 256)) >> 1; break;
    default: value = 0; break;
    }
    int32_t v = value * instrument.vibratoDepth;
    if (instrument.vibratoSweep != 0) v = v * channel.autoVibratoSweep / instrument.vibratoSweep;
    channel.periodOffset += v >> 6;
    if (channel.autoVibratoSweep < instrument.vibratoSweep) ++channel.autoVibratoSweep;
    position += instrument.vibratoRate;
    if (position > 255) position -= 256;
    channel.autoVibratoPosition = position;
    channel.flags |= UpdateFrequency;
}
