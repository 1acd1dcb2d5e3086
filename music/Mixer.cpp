#include "music/Mixer.h"

#include "music/Pitch.h"

#include <cmath>
#include <cstring>

#include "core/PortableMath.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Volume: the four factors (volume and envelope 0..64, fade-out 0..65536, global 0..64) multiply to at
// most 2^34, so times 255 over 2^35 they give 0..127. Out-of-range factors are held to +-2^24.
constexpr double VolumeDivisor = 34359738368.0;  // 2^35
constexpr double VolumeLimit = 16777216.0;       // 2^24

// Panning: the envelope (0..EnvelopeTop, centre PanningEnvelopeCentre) moves a centred panning by up
// to 4 x 32 either way, less towards the edges.
constexpr int32_t PanningCentre = 128;

// Frequencies (music/Pitch.h), of the period plus its offset, are held within these.
constexpr double HighestFrequency = 2147483520.0;  // the largest float below 2^31
constexpr int64_t LowestFrequency = 100;
constexpr int64_t StepLimit = 256;  // values per frame: a step must fit the 8 integer bits of 8.24

// The 8.24 boundary count covers distances below 2^24 values.
constexpr int64_t BoundaryReach = int64_t(1) << 24;

// Gain ramps last RampFrames frames at RampRate, in proportion at other rates. A rate of 0 opens at
// DefaultRate.
constexpr uint32_t RampFrames = 128;
constexpr uint32_t RampRate = 44100;
constexpr uint32_t DefaultRate = 44100;

// Mirrors a ping-pong bounce makes at most before it gives up and restarts the loop.
constexpr int MirrorLimit = 4096;

int32_t clampInt(double value, double low, double high) {
    if (!(value >= low)) return int32_t(low);
    if (value > high) return int32_t(high);
    return int32_t(value);  // truncates toward zero
}

// Loop bounds of a sample: in values, and in 32.32 (start, end and length).
uint32_t loopEndOf(const Sample& sample) { return sample.loopStart + sample.loopLength; }
int64_t loopStartPosition(const Sample& sample) { return int64_t(toPosition(sample.loopStart)); }
int64_t loopEndPosition(const Sample& sample) { return int64_t(toPosition(loopEndOf(sample))); }

// The voice volume of a channel: the product of its factors, truncated toward zero.
int32_t volumeOf(const Channel& channel, const Module& module) {
    // The product needs up to 46 bits: in double it is exact, so the truncation sees its true value.
    double volume = double(channel.volume + channel.volumeOffset) * double(channel.volumeEnvelope.value) *
                    double(channel.fadeoutVolume) * double(module.globalVolume) * 255.0 / VolumeDivisor;
    return clampInt(volume, -VolumeLimit, VolumeLimit);
}

// The voice panning of a channel: its panning moved by the panning envelope, within 0..255.
int32_t panningOf(const Channel& channel) {
    int32_t panning = channel.panning;
    int32_t distance = panning - PanningCentre < 0 ? PanningCentre - panning : panning - PanningCentre;
    int32_t swing = channel.panningEnvelope.value - PanningEnvelopeCentre;
    int32_t p = panning + ((PanningCentre - distance) / PanningEnvelopeCentre) * swing;
    return p < 0 ? 0 : (p > 255 ? 255 : p);
}

// The frequency in Hz a channel plays at, truncated; period is its period plus its offset (not 0).
int64_t frequencyOf(const Channel& channel, const Module& module, int32_t period) {
    if (!(module.flags & LinearFrequencyFlag)) return PeriodClock / period;
    // 1/768 is a float constant; the exponent (exact in double) and the power are taken in
    // double, so the truncated frequency is not disturbed by float rounding.
    double exponent =
        double(MiddlePeriod - channel.period + channel.periodOffset) * double(1.0f / float(PeriodsPerOctave));
    double hz = MiddleRate * portable::exp2(exponent);
    return clampInt(hz, 0.0, HighestFrequency);
}

void setTargets(Voice& voice) {
    voice.leftTarget = (255 - voice.panning) * voice.volume / 255;
    voice.rightTarget = voice.panning * voice.volume / 255;
}

void trigger(Mixer& mixer, Channel& channel, const Sample* sample) {
    Voice* voice = channel.voice;
    if (voice->sample) {
        // Hand the sounding note to the partner voice, where it ramps down to silence. A channel's
        // two voices are half the table apart.
        int32_t partnerIndex = voice->number ^ (VoiceCount / 2);
        Voice& partner = mixer.voices[partnerIndex];
        partner = *voice;
        partner.number = partnerIndex;
        voice->volume = 0;
        voice->leftTarget = 0;
        voice->rightTarget = 0;
        channel.voice = &partner;
    }
    Voice& fresh = *channel.voice;
    fresh.sample = (sample && sample->data && sample->length > 0) ? sample : nullptr;
    uint32_t loopEnd = sample ? loopEndOf(*sample) : 0;
    if (fresh.startOffset >= loopEnd) fresh.startOffset = 0;
    fresh.position = toPosition(fresh.startOffset);
    fresh.direction = DirectionForward;
    fresh.startOffset = 0;
    fresh.leftLevel = levelOfGain(0);
    fresh.rightLevel = levelOfGain(0);
    fresh.rampFrames = 0;
}

// Linear interpolation between d[i] and d[i + 1] on the top 31 bits of the fraction.
inline float sampleAt(const int16_t* data, uint64_t position) {
    int32_t i = int32_t(positionIndex(position));
    float a = data[i];
    float b = data[i + 1];
    return a + positionWeight(position) * (b - a);
}

inline uint64_t advance(uint64_t position, uint64_t delta) { return (position & ~uint64_t(1)) + delta; }

// The position after frames (at least 1) calls of advance: after the first step the lowest bit
// is the delta's own, so the rest is one multiplication.
inline uint64_t advanceBy(uint64_t position, uint64_t delta, uint32_t frames) {
    return (position & ~uint64_t(1)) + (delta & 1) + uint64_t(frames) * (delta & ~uint64_t(1));
}

// Frames until the voice reaches its loop boundary, counted in 8.24: ceil(distance / step) with
// the low 8 fraction bits of both dropped. 0 when the distance is below 2^-24 (the boundary is
// handled before any frame is mixed); -1 when the distance lies beyond the range the 8.24
// arithmetic covers (no boundary in this call).
int64_t framesToBoundary(const Voice& voice, const Sample& sample) {
    int64_t position = int64_t(voice.position);
    int64_t distance = voice.direction == DirectionBackward ? position - loopStartPosition(sample)
                                                            : loopEndPosition(sample) - position;
    // Already past the boundary (a restart behind a backward-moving loop): one frame, then the
    // boundary brings the position back.
    if (distance < 0) return 1;
    if (positionIndex(uint64_t(distance)) >= BoundaryReach) return -1;
    uint64_t distance24 = boundaryUnits(uint64_t(distance));
    uint32_t step24 = uint32_t(boundaryUnits(voice.step));
    if (step24 == 0) step24 = 1;
    return int64_t((distance24 + step24 - 1) / step24);
}

void startRampIfNeeded(const Mixer& mixer, Voice& voice) {
    bool latched = voice.leftTarget == voice.latchedLeft && voice.rightTarget == voice.latchedRight;
    if (voice.rampFrames > 0 && latched) return;
    voice.latchedLeft = voice.leftTarget;
    voice.latchedRight = voice.rightTarget;
    int32_t left = voice.leftTarget - levelGain(voice.leftLevel);
    int32_t right = voice.rightTarget - levelGain(voice.rightLevel);
    float ramp = float(mixer.rampLength);
    voice.leftRampStep = left != 0 ? gainFactor(left) / ramp : 0.0f;
    voice.rightRampStep = right != 0 ? gainFactor(right) / ramp : 0.0f;
    voice.rampFrames = (left != 0 || right != 0) ? mixer.rampLength : 0;
}

// Mixes frames at fixed gains, two frames per iteration.
uint64_t mixSteadyScalar(const int16_t* data, uint64_t position, uint64_t delta, float leftGain, float rightGain,
                         float* out, uint32_t frames) {
    for (; frames >= 2; frames -= 2, out += 4) {
        float s0 = sampleAt(data, position);
        position = advance(position, delta);
        float s1 = sampleAt(data, position);
        position = advance(position, delta);
        out[0] += s0 * leftGain;
        out[1] += s0 * rightGain;
        out[2] += s1 * leftGain;
        out[3] += s1 * rightGain;
    }
    if (frames) {
        float s = sampleAt(data, position);
        position = advance(position, delta);
        out[0] += s * leftGain;
        out[1] += s * rightGain;
    }
    return position;
}

#if defined(__SSE2__)
inline int32_t pairAt(const int16_t* data, uint64_t position) {
    int32_t pair;
    std::memcpy(&pair, data + positionIndex(position), sizeof pair);
    return pair;
}

// The same arithmetic as mixSteadyScalar, four frames at a time. After the first frame the
// positions follow advanceBy, so the four of a group are independent of each other; the
// interpolation and the gains run on four (or two stereo) floats at once.
uint64_t mixSteadySse2(const int16_t* data, uint64_t position, uint64_t delta, float leftGain, float rightGain,
                       float* out, uint32_t frames) {
    if (frames < 5) return mixSteadyScalar(data, position, delta, leftGain, rightGain, out, frames);
    position = mixSteadyScalar(data, position, delta, leftGain, rightGain, out, 1);
    out += 2;
    frames -= 1;
    const uint64_t step = delta & ~uint64_t(1);  // from here on every position keeps delta's lowest bit
    const __m128 gains = _mm_setr_ps(leftGain, rightGain, leftGain, rightGain);
    const __m128 scale = _mm_set1_ps(FractionWeightScale);
    // The fractions are the low 32 bits of the positions, so they step in plain 32-bit lanes.
    const uint32_t fractionStep = uint32_t(step);
    const __m128i fractionGroupStep = _mm_set1_epi32(int32_t(4 * fractionStep));
    uint32_t f0 = uint32_t(position);
    __m128i fractions = _mm_setr_epi32(int32_t(f0), int32_t(f0 + fractionStep), int32_t(f0 + 2 * fractionStep),
                                       int32_t(f0 + 3 * fractionStep));
    for (; frames >= 4; frames -= 4, out += 8) {
        uint64_t p0 = position;
        uint64_t p1 = p0 + step;
        uint64_t p2 = p0 + 2 * step;
        uint64_t p3 = p0 + 3 * step;
        position = p0 + 4 * step;
        // Each 32-bit load holds d[i] (low half) and d[i + 1] (high half).
        __m128i pairs = _mm_setr_epi32(pairAt(data, p0), pairAt(data, p1), pairAt(data, p2), pairAt(data, p3));
        __m128 a = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(pairs, 16), 16));
        __m128 b = _mm_cvtepi32_ps(_mm_srai_epi32(pairs, 16));
        __m128 f = _mm_cvtepi32_ps(_mm_srli_epi32(fractions, 1));  // times scale: positionWeight, four at a time
        fractions = _mm_add_epi32(fractions, fractionGroupStep);
        __m128 s = _mm_add_ps(a, _mm_mul_ps(_mm_mul_ps(f, scale), _mm_sub_ps(b, a)));
        _mm_storeu_ps(out, _mm_add_ps(_mm_loadu_ps(out), _mm_mul_ps(_mm_unpacklo_ps(s, s), gains)));
        _mm_storeu_ps(out + 4, _mm_add_ps(_mm_loadu_ps(out + 4), _mm_mul_ps(_mm_unpackhi_ps(s, s), gains)));
    }
    return mixSteadyScalar(data, position, delta, leftGain, rightGain, out, frames);
}
#endif

uint64_t mixSteady(const int16_t* data, uint64_t position, uint64_t delta, float leftGain, float rightGain, float* out,
                   uint32_t frames) {
#if defined(__SSE2__)
    if (Mixer::vectorLoops) return mixSteadySse2(data, position, delta, leftGain, rightGain, out, frames);
#endif
    return mixSteadyScalar(data, position, delta, leftGain, rightGain, out, frames);
}

// Mixes frames while the gains move by the voice's ramp steps; stores the reached levels.
uint64_t mixRamp(Voice& voice, const int16_t* data, uint64_t position, uint64_t delta, float* out, uint32_t frames) {
    float leftGain = levelFactor(voice.leftLevel);
    float rightGain = levelFactor(voice.rightLevel);
    for (uint32_t n = 0; n < frames; ++n, out += 2) {
        float s = sampleAt(data, position);
        position = advance(position, delta);
        out[0] += s * leftGain;
        out[1] += s * rightGain;
        leftGain += voice.leftRampStep;
        rightGain += voice.rightRampStep;
    }
    voice.leftLevel = levelOfFactor(leftGain);
    voice.rightLevel = levelOfFactor(rightGain);
    return position;
}

// Mirrors a ping-pong position back into the loop after it has crossed an end.
void bounce(Voice& voice, const Sample& sample) {
    int64_t start = loopStartPosition(sample);
    int64_t end = loopEndPosition(sample);
    int64_t position = int64_t(voice.position);
    // 2E - p - 2^-32 at the end moving forward, 2S - p - 2^-32 at the start moving backward.
    if (voice.direction == DirectionForward) {
        position = 2 * end - position - 1;
        voice.direction = DirectionBackward;
        if (position < start) {
            position = 2 * start - position - 1;
            voice.direction = DirectionForward;
        }
    } else {
        position = 2 * start - position - 1;
        voice.direction = DirectionForward;
        if (position >= end) {
            position = 2 * end - position - 1;
            voice.direction = DirectionBackward;
        }
    }
    // A step far longer than the loop needs more mirrors; keep the position within one value of it.
    const int64_t one = int64_t(PositionOne);
    for (int guard = 0; guard < MirrorLimit; ++guard) {
        if (position >= end + one) {
            position = 2 * end - position - 1;
            voice.direction = DirectionBackward;
        } else if (position < start - one) {
            position = 2 * start - position - 1;
            voice.direction = DirectionForward;
        } else {
            break;
        }
    }
    if (position >= end + one || position < start - one) position = start;
    voice.position = uint64_t(position);
}

void handleBoundary(Voice& voice, const Sample& sample) {
    if (sample.loopMode == LoopForward) {
        int64_t end = loopEndPosition(sample);
        uint64_t length = toPosition(sample.loopLength);
        // Once, even when the 8.24 frame count stopped a little short of the end, then while
        // still at or beyond it.
        do {
            voice.position -= length;
        } while (int64_t(voice.position) >= end);
    } else if (sample.loopMode == LoopPingPong) {
        bounce(voice, sample);
    } else {
        voice.sample = nullptr;
        voice.position = 0;
    }
}

void mixVoice(const Mixer& mixer, Voice& voice, float* out, uint32_t frames) {
    while (frames > 0 && voice.sample) {
        const Sample& sample = *voice.sample;
        uint32_t run = frames;
        bool atBoundary = false;
        int64_t toBoundary = framesToBoundary(voice, sample);
        if (toBoundary >= 0 && uint64_t(toBoundary) <= run) {
            run = uint32_t(toBoundary);
            atBoundary = true;
        }
        startRampIfNeeded(mixer, voice);
        if (voice.rampFrames > 0 && run > voice.rampFrames) {
            run = voice.rampFrames;
            atBoundary = false;
        }

        uint64_t delta = voice.direction == DirectionBackward ? uint64_t(0) - voice.step : voice.step;
        if (voice.rampFrames > 0) {
            voice.position = mixRamp(voice, sample.data, voice.position, delta, out, run);
            voice.rampFrames -= run;
            if (voice.rampFrames == 0) {
                voice.leftRampStep = 0.0f;
                voice.rightRampStep = 0.0f;
                voice.leftLevel = levelOfGain(voice.leftTarget);
                voice.rightLevel = levelOfGain(voice.rightTarget);
            }
        } else if (voice.leftTarget == 0 && voice.rightTarget == 0) {
            // Silent at rest (a note handed over and faded out): it adds only zeros, so it just moves on.
            if (run > 0) voice.position = advanceBy(voice.position, delta, run);
        } else {
            float leftGain = gainFactor(voice.leftTarget);
            float rightGain = gainFactor(voice.rightTarget);
            voice.position = mixSteady(sample.data, voice.position, delta, leftGain, rightGain, out, run);
        }
        if (atBoundary) handleBoundary(voice, sample);
        frames -= run;
        out += 2 * run;
    }
}

}  // namespace

bool Mixer::vectorLoops = true;

void Mixer::open(Mixer& mixer, uint32_t rate) {
    std::memset(&mixer, 0, sizeof(mixer));
    mixer.rate = rate ? rate : DefaultRate;
    mixer.rateReciprocal = 1.0f / float(mixer.rate);
    mixer.rampLength = mixer.rate * RampFrames / RampRate;
    if (mixer.rampLength == 0) mixer.rampLength = 1;
    mixer.rampReciprocal = 1.0f / float(mixer.rampLength);
    for (int i = 0; i < VoiceCount; ++i) {
        mixer.voices[i].number = i;
        mixer.voices[i].step = PositionOne;
    }
}

uint64_t Mixer::stepFor(const Mixer& mixer, int64_t frequency) {
    // The boundary arithmetic holds steps below StepLimit values per frame.
    int64_t highest = int64_t(mixer.rate) * StepLimit - 1;
    if (frequency < LowestFrequency) frequency = LowestFrequency;
    if (frequency > highest) frequency = highest;
    uint64_t whole = uint64_t(frequency) / mixer.rate;
    uint64_t rest = uint64_t(frequency) % mixer.rate;
    return (whole << 32) + (rest << 32) / mixer.rate;  // 32.32: fraction = rest x 2^32 / rate
}

void Mixer::commitChannel(Channel& channel, const Sample* sample, const Module& module) {
    Mixer& mixer = *module.mixer;
    uint8_t flags = channel.flags;
    int32_t period = channel.period + channel.periodOffset;
    if (period == 0) flags &= uint8_t(~UpdateFrequency);

    if (flags & UpdateTrigger) trigger(mixer, channel, sample);
    Voice& voice = *channel.voice;

    if (flags & UpdateVolume) {
        voice.volume = volumeOf(channel, module);
        setTargets(voice);
    }
    if (flags & UpdatePanning) {
        voice.panning = panningOf(channel);
        setTargets(voice);
    }
    if (flags & UpdateFrequency) voice.step = stepFor(mixer, frequencyOf(channel, module, period));
    if (flags & UpdateRestart) {
        voice.position = 0;
        voice.startOffset = 0;
    }
}

void Mixer::mixVoices(Mixer& mixer, float* out, int32_t frames) {
    if (frames < 1 || !out) return;
    for (Voice& voice : mixer.voices)
        if (voice.sample) mixVoice(mixer, voice, out, uint32_t(frames));
}

void Mixer::toPcm16(int16_t* destination, const float* source, int32_t frames) {
    if (frames < 1 || !destination || !source) return;
    int32_t count = 2 * frames;
    int32_t i = 0;
#if defined(__SSE2__)
    if (vectorLoops) {
        // NaN becomes 0 (a mask of the ordered lanes), then clip (so the conversion cannot
        // overflow), round to nearest even (the default rounding mode) and narrow.
        const __m128 high = _mm_set1_ps(32767.0f);
        const __m128 low = _mm_set1_ps(-32768.0f);
        auto clip = [&](__m128 x) { return _mm_max_ps(_mm_min_ps(_mm_and_ps(x, _mm_cmpord_ps(x, x)), high), low); };
        for (; i + 8 <= count; i += 8) {
            __m128 x0 = clip(_mm_loadu_ps(source + i));
            __m128 x1 = clip(_mm_loadu_ps(source + i + 4));
            __m128i packed = _mm_packs_epi32(_mm_cvtps_epi32(x0), _mm_cvtps_epi32(x1));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), packed);
        }
    }
#endif
    for (; i < count; ++i) {
        float value = source[i] == source[i] ? std::nearbyint(source[i]) : 0.0f;
        if (value > 32767.0f) value = 32767.0f;
        if (value < -32768.0f) value = -32768.0f;
        destination[i] = int16_t(value);
    }
}
