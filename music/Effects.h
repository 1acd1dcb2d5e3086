#pragma once
#include <cstdint>

#include "music/Channel.h"
#include "music/Module.h"

// The effect commands and the volume column: their row-tick and other-tick parts.

// Effect types as stored in the cells.
// clang-format off
enum class Effect : uint8_t {
    Arpeggio = 0x0, PortaUp = 0x1, PortaDown = 0x2, TonePorta = 0x3, Vibrato = 0x4, TonePortaSlide = 0x5,
    VibratoSlide = 0x6, Tremolo = 0x7, SetPanning = 0x8, SampleOffset = 0x9, VolumeSlide = 0xA,
    PositionJump = 0xB, SetVolume = 0xC, PatternBreak = 0xD, Extended = 0xE, SetSpeed = 0xF,
    SetGlobalVolume = 16, GlobalVolumeSlide = 17, KeyOff = 20, SetEnvelopePosition = 21, PanningSlide = 25,
    Retrigger = 27, Tremor = 29, ExtraFinePorta = 33,
};
// clang-format on

// Sub-commands of the extended effect (high nibble of the parameter).
// clang-format off
enum class ExtendedEffect : uint8_t {
    FinePortaUp = 0x1, FinePortaDown = 0x2, VibratoWaveform = 0x4, SetFinetune = 0x5, PatternLoop = 0x6,
    TremoloWaveform = 0x7, CoarsePanning = 0x8, RetriggerNote = 0x9, FineVolumeUp = 0xA, FineVolumeDown = 0xB,
    NoteCut = 0xC, NoteDelay = 0xD, PatternDelay = 0xE,
};
// clang-format on

// Volume-column commands (high nibble of the byte; the low nibble is the amount). The bytes
// VolumeColumnSetLow..VolumeColumnSetHigh set the volume to byte - VolumeColumnSetLow instead.
// clang-format off
enum class VolumeCommand : uint8_t {
    SlideDown = 0x6, SlideUp = 0x7, FineSlideDown = 0x8, FineSlideUp = 0x9, VibratoSpeed = 0xA,
    Vibrato = 0xB, SetPanning = 0xC, PanningSlideLeft = 0xD, PanningSlideRight = 0xE, TonePorta = 0xF,
};
// clang-format on
constexpr uint8_t VolumeColumnSetLow = 0x10, VolumeColumnSetHigh = 0x50;

constexpr uint8_t NoteKeyOff = 255;

// The instrument and sample a channel's note maps to on this tick.
struct RowSound {
    const Instrument* instrument;
    Sample* sample;
};

// What the channels of one row tick share.
struct RowContext {
    Module& module;
    bool jumped;  // an earlier channel of this row gave a position jump
};

// A channel's volume, period and panning from before its row (note delay puts them back).
struct Saved {
    int32_t volume, period, panning;
};

// The note period of played note with finetune, linear or from the period table.
int32_t notePeriod(const Module& module, int32_t playedNote, int32_t finetune);
// Volume, panning, envelopes, fade-out and modulation positions back to a fresh note's.
void resetFromSample(Channel& channel, const Sample& sample);
void volumeColumnRow(Channel& channel, uint8_t byte);
void volumeColumnTick(Channel& channel, uint8_t byte);
void effectRow(RowContext& row, Channel& channel, const NoteCell& cell, const RowSound& sound, const Saved& saved);
void effectTick(Module& module, Channel& channel, const NoteCell& cell, const RowSound& sound);
