#pragma once
#include <cstdint>

#include "music/Channel.h"
#include "music/Module.h"

// An instrument envelope's points and flags, as the envelope step reads them.
struct EnvelopeShape {
    const EnvelopePoint* points;
    int32_t count;
    uint8_t type, sustain, loopStart, loopEnd;
};

EnvelopeShape volumeShape(const Instrument& instrument);
EnvelopeShape panningShape(const Instrument& instrument);

// One envelope tick for state; sets flag in the channel's update flags. The value stays within
// 0..EnvelopeTop.
void stepEnvelope(EnvelopeState& state, const EnvelopeShape& shape, bool keyOff, Channel& channel, uint8_t flag);
// Moves the envelope to tick position (Lxx).
void setEnvelopePosition(EnvelopeState& state, const EnvelopeShape& shape, int32_t position);
// Steps both envelopes of the channel's instrument where they are on and not finished.
void runEnvelopes(Channel& channel, const Instrument& instrument);
// After a key-off, lowers the fade-out volume by the instrument's fade-out.
void fadeOut(Channel& channel, const Instrument& instrument);
