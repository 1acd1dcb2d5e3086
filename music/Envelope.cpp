#include "music/Envelope.h"

namespace {

// Per-tick slope from a to b in 16.16; 0 when both lie on the same tick.
int32_t slopeBetween(const EnvelopePoint& a, const EnvelopePoint& b) {
    int32_t dx = int32_t(b.x) - int32_t(a.x);
    return dx == 0 ? 0 : ((int32_t(b.y) - int32_t(a.y)) * EnvelopeOne) / dx;
}

// The accumulator held within the 0..EnvelopeTop range the points span.
int32_t heldAccumulator(int64_t accumulator) {
    constexpr int64_t top = int64_t(EnvelopeTop) * EnvelopeOne;
    return int32_t(accumulator < 0 ? 0 : (accumulator > top ? top : accumulator));
}

}  // namespace

EnvelopeShape volumeShape(const Instrument& i) {
    return {i.volumePoints, i.volumePointCount, i.volumeType, i.volumeSustain, i.volumeLoopStart, i.volumeLoopEnd};
}

EnvelopeShape panningShape(const Instrument& i) {
    return {i.panningPoints,  i.panningPointCount, i.panningType,
            i.panningSustain, i.panningLoopStart,  i.panningLoopEnd};
}

// One envelope tick.
void stepEnvelope(EnvelopeState& state, const EnvelopeShape& shape, bool keyOff, Channel& channel, uint8_t flag) {
    if (state.pointIndex < shape.count && state.tick == shape.points[state.pointIndex].x) {
        if ((shape.type & EnvelopeLoop) && state.pointIndex == shape.loopEnd) {
            state.pointIndex = shape.loopStart;
            state.tick = shape.points[state.pointIndex].x;
        }
        const EnvelopePoint& point = shape.points[state.pointIndex];
        if (state.pointIndex == shape.count - 1) {
            state.value = point.y;
            state.finished = 1;
            channel.flags |= flag;
            return;
        }
        if ((shape.type & EnvelopeSustain) && state.pointIndex == shape.sustain && !keyOff) {
            state.value = point.y;
            channel.flags |= flag;
            return;
        }
        state.slope = slopeBetween(point, shape.points[state.pointIndex + 1]);
        state.accumulator = int32_t(point.y) * EnvelopeOne;
        ++state.pointIndex;
    } else if (state.pointIndex < shape.count) {
        state.accumulator = heldAccumulator(int64_t(state.accumulator) + state.slope);
    }
    state.value = state.accumulator >> 16;
    ++state.tick;
    channel.flags |= flag;
}

void setEnvelopePosition(EnvelopeState& state, const EnvelopeShape& shape, int32_t position) {
    int32_t j = 0;
    while (j < shape.count - 1 && position > shape.points[j + 1].x) ++j;
    if (j >= shape.count - 1) {
        state.value = shape.count > 0 ? shape.points[shape.count - 1].y : 0;
        state.finished = 1;
        return;
    }
    state.finished = 0;
    state.tick = position;
    state.slope = slopeBetween(shape.points[j], shape.points[j + 1]);
    state.pointIndex = j + 1;
    state.accumulator =
        heldAccumulator(int64_t(shape.points[j].y) * EnvelopeOne + int64_t(position - shape.points[j].x) * state.slope);
    state.value = state.accumulator >> 16;
}

void runEnvelopes(Channel& channel, const Instrument& instrument) {
    if ((instrument.volumeType & EnvelopeOn) && !channel.volumeEnvelope.finished)
        stepEnvelope(channel.volumeEnvelope, volumeShape(instrument), channel.keyOff, channel, UpdateVolume);
    if ((instrument.panningType & EnvelopeOn) && !channel.panningEnvelope.finished)
        stepEnvelope(channel.panningEnvelope, panningShape(instrument), channel.keyOff, channel, UpdatePanning);
}

void fadeOut(Channel& channel, const Instrument& instrument) {
    if (!channel.keyOff) return;
    int64_t volume = int64_t(channel.fadeoutVolume) - instrument.fadeout;
    channel.fadeoutVolume = int32_t(volume < 0 ? 0 : volume);
    channel.flags |= UpdateVolume;
}
