#pragma once
#include <cstdint>

#include "music/Channel.h"
#include "music/Module.h"

// The per-tick modulations a channel runs: vibrato, tremolo, tremor, volume slide, tone
// portamento and the instrument's auto-vibrato. Each sets the channel's update flags it affects.

constexpr int32_t MaxVolume = 64;
constexpr int32_t MaxPanning = 255;

// A slide by a memory byte: up by its high nibble, stopping at high, when that is not 0; else down
// by its low nibble, stopping at 0.
int32_t nibbleSlide(int32_t value, uint8_t memory, int32_t high);

enum class Slide : uint8_t { Up, Down };
// Slides the volume by amount, up stopping at MaxVolume or down stopping at 0 (a volume set above
// MaxVolume slides down from where it is), and sets the volume flag.
void slideVolume(Channel& channel, Slide direction, int32_t amount);

// Amplitude 0..255 of waveform 0 (sine), 1 (ramp) or 2/3 (square) at position -32..31.
int32_t waveAmplitude(int32_t waveform, int32_t position);
// Period offset from the vibrato at its current position (the position is not advanced).
void vibrato(Channel& channel);
void advanceVibrato(Channel& channel);
// Volume offset from the tremolo, then advances its position.
void tremolo(Channel& channel);
void tremorStep(Channel& channel);
// Slides the volume by the shared slide memory: up by its high nibble, else down by its low one.
void volumeSlide(Channel& channel);
// Moves the period towards the portamento target by speed x 4.
void tonePortaStep(Channel& channel);
// Adds the instrument's auto-vibrato to the period offset and advances it.
void autoVibrato(Channel& channel, const Instrument& instrument);
