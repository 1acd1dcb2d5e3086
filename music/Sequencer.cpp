#include "music/Sequencer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "music/Channel.h"
#include "music/Mixer.h"
#include "music/ModuleLoader.h"

namespace {

// Effect types as stored in the cells.
enum : uint8_t {
    Arpeggio = 0x0, PortaUp = 0x1, PortaDown = 0x2, TonePorta = 0x3, Vibrato = 0x4, TonePortaSlide = 0x5,
    VibratoSlide = 0x6, Tremolo = 0x7, SetPanning = 0x8, SampleOffset = 0x9, VolumeSlide = 0xA,
    PositionJump = 0xB, SetVolume = 0xC, PatternBreak = 0xD, Extended = 0xE, SetSpeed = 0xF,
    SetGlobalVolume = 16, GlobalVolumeSlide = 17, KeyOff = 20, SetEnvelopePosition = 21, PanningSlide = 25,
    Retrigger = 27, Tremor = 29, ExtraFinePorta = 33,
};

// Sub-commands of the extended effect (high nibble of the parameter).
enum : uint8_t {
    FinePortaUp = 0x1, FinePortaDown = 0x2, VibratoWaveform = 0x4, SetFinetune = 0x5, PatternLoop = 0x6,
    TremoloWaveform = 0x7, CoarsePanning = 0x8, RetriggerNote = 0x9, FineVolumeUp = 0xA, FineVolumeDown = 0xB,
    NoteCut = 0xC, NoteDelay = 0xD, PatternDelay = 0xE,
};

constexpr uint8_t NoteKeyOff = 255;

const Instrument silentInstrument{};
const NoteCell emptyCell{};

struct RowSound {
    const Instrument* instrument;
    Sample* sample;
};

// The channel's instrument and the sample its note maps to, looked up afresh on every tick.
RowSound lookUp(const Module& module, const Channel& channel) {
    if (channel.instrument >= module.instrumentCount) return {&silentInstrument, emptySample()};
    const Instrument& instrument = module.instruments[channel.instrument];
    if (channel.note >= 96) return {&instrument, emptySample()};
    uint8_t entry = instrument.sampleMap[channel.note];
    if (entry >= 16 || !instrument.samples[entry]) return {&instrument, emptySample()};
    return {&instrument, instrument.samples[entry]};
}

const NoteCell* rowCells(const Module& module, int32_t order, int32_t row) {
    if (order < 0 || order > 255) return nullptr;
    uint32_t patternIndex = module.orderTable[order];
    if (patternIndex >= module.patternSlots) return nullptr;
    const Pattern& pattern = module.patterns[patternIndex];
    if (row < 0 || uint32_t(row) >= pattern.rows || !pattern.cells) return nullptr;
    return pattern.cells + size_t(row) * size_t(module.channels);
}

uint32_t patternRows(const Module& module, int32_t order) {
    if (order < 0 || order > 255) return 0;
    uint32_t patternIndex = module.orderTable[order];
    return patternIndex < module.patternSlots ? module.patterns[patternIndex].rows : 0;
}

int32_t clamp(int32_t value, int32_t low, int32_t high) { return value < low ? low : (value > high ? high : value); }

uint8_t remember(uint8_t& memory, uint8_t parameter) {
    if (parameter != 0) memory = parameter;
    return memory;
}

// ---- waveforms -------------------------------------------------------------------------------

// Amplitude 0..255 of the vibrato/tremolo waveforms at position -32..31.
int32_t waveAmplitude(int32_t waveform, int32_t position) {
    switch (waveform) {
    case 0: return int32_t(std::fabs(std::sin(2.0f * float(position) * 0.049087375f)) * 256.0f);
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

void advanceVibrato(Channel& channel) {
    int32_t position = channel.vibratoPosition + channel.vibratoSpeed;
    if (position > 31) position -= 64;
    channel.vibratoPosition = int8_t(position);
}

void tremolo(Channel& channel) {
    int32_t waveform = (channel.waveControl >> 4) & 3;
    int32_t kind = waveform == 3 ? 0 : waveform;  // 0 and 3 sine, 1 ramp, 2 square
    int32_t a = waveAmplitude(kind, channel.tremoloPosition);
    int32_t o = (a * channel.tremoloDepth) >> 6;
    if (channel.tremoloPosition >= 0) {
        if (channel.volume + o > 64) o = 64 - channel.volume;
        channel.volumeOffset = o;
    } else {
        channel.volumeOffset = -o < -channel.volume ? -channel.volume : -o;
    }
    int32_t position = channel.tremoloPosition + channel.tremoloSpeed;
    if (position > 31) position -= 64;
    channel.tremoloPosition = int8_t(position);
    channel.flags |= UpdateVolume;
}

void tremorStep(Channel& channel) {
    if (channel.tremorCounter >= channel.tremorOn) channel.volumeOffset = -channel.volume;
    channel.tremorCounter = uint8_t(channel.tremorCounter + 1);
    if (channel.tremorCounter >= channel.tremorOn + channel.tremorOff) channel.tremorCounter = 0;
    channel.flags |= UpdateVolume;
}

void volumeSlide(Channel& channel) {
    uint8_t memory = channel.volumeSlideMemory;
    if (memory >> 4) channel.volume = std::min(channel.volume + (memory >> 4), 64);
    else channel.volume = std::max(channel.volume - (memory & 15), 0);
    channel.flags |= UpdateVolume;
}

void tonePortaStep(Channel& channel) {
    int32_t amount = channel.portaSpeed * 4;
    if (channel.period < channel.portaTarget) channel.period = std::min(channel.period + amount, channel.portaTarget);
    else if (channel.period > channel.portaTarget) channel.period = std::max(channel.period - amount, channel.portaTarget);
    channel.flags |= UpdateFrequency;
}

void autoVibrato(Channel& channel, const Instrument& instrument) {
    int32_t position = channel.autoVibratoPosition;
    int32_t value = 0;
    switch (instrument.vibratoType) {
    case 0: value = int32_t(std::sin(float(position) * 0.024543688f) * 64.0f); break;
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

// ---- envelopes -------------------------------------------------------------------------------

struct EnvelopeShape {
    const EnvelopePoint* points;
    int32_t count;
    uint8_t type, sustain, loopStart, loopEnd;
};

EnvelopeShape volumeShape(const Instrument& i) {
    return {i.volumePoints, i.volumePointCount, i.volumeType, i.volumeSustain, i.volumeLoopStart, i.volumeLoopEnd};
}

EnvelopeShape panningShape(const Instrument& i) {
    return {i.panningPoints, i.panningPointCount, i.panningType, i.panningSustain, i.panningLoopStart, i.panningLoopEnd};
}

int32_t slopeBetween(const EnvelopePoint& a, const EnvelopePoint& b) {
    int32_t dx = int32_t(b.x) - int32_t(a.x);
    return dx == 0 ? 0 : ((int32_t(b.y) - int32_t(a.y)) * 65536) / dx;
}

// One envelope tick. The accumulator stays within the 0..64 range the points span.
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
        state.accumulator = int32_t(point.y) * 65536;
        ++state.pointIndex;
    } else if (state.pointIndex < shape.count) {
        int64_t next = int64_t(state.accumulator) + state.slope;
        state.accumulator = int32_t(next < 0 ? 0 : (next > 64 * 65536 ? 64 * 65536 : next));
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
    int64_t accumulator = int64_t(shape.points[j].y) * 65536 + int64_t(position - shape.points[j].x) * state.slope;
    state.accumulator = int32_t(accumulator < 0 ? 0 : (accumulator > 64 * 65536 ? 64 * 65536 : accumulator));
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

// ---- notes -----------------------------------------------------------------------------------

int32_t notePeriod(const Module& module, int32_t playedNote, int32_t finetune) {
    if (module.flags & LinearFrequencyFlag) return 7680 - playedNote * 64 - finetune / 2;
    return Sequencer::tablePeriod(playedNote, finetune);
}

void resetFromSample(Channel& channel, const Sample& sample) {
    channel.volume = sample.volume;
    channel.panning = sample.panning;
    channel.volumeEnvelope.value = 64;
    channel.volumeEnvelope.tick = 0;
    channel.volumeEnvelope.pointIndex = 0;
    channel.volumeEnvelope.slope = 0;
    channel.panningEnvelope.value = 32;
    channel.panningEnvelope.tick = 0;
    channel.panningEnvelope.pointIndex = 0;
    channel.panningEnvelope.slope = 0;
    channel.keyOff = 0;
    channel.fadeoutVolume = 65536;
    channel.volumeEnvelope.finished = 0;
    channel.panningEnvelope.finished = 0;
    channel.autoVibratoPosition = 0;
    channel.autoVibratoSweep = 0;
    if ((channel.waveControl & 15) < 4) channel.vibratoPosition = 0;
    if ((channel.waveControl >> 4) < 4) channel.tremoloPosition = 0;
    channel.tremorCounter = 0;
    channel.flags |= UpdateVolume | UpdatePanning;
}

// ---- volume column ---------------------------------------------------------------------------

void volumeColumnRow(Channel& channel, uint8_t byte) {
    int32_t x = byte & 15;
    switch (byte >> 4) {
    case 0x1: case 0x2: case 0x3: case 0x4: case 0x5:
        if (byte <= 0x50) {
            channel.volume = byte - 0x10;
            channel.flags |= UpdateVolume;
        }
        break;
    case 0x6: case 0x8:
        channel.volume = std::max(channel.volume - x, 0);
        channel.flags |= UpdateVolume;
        break;
    case 0x7: case 0x9:
        channel.volume = std::min(channel.volume + x, 64);
        channel.flags |= UpdateVolume;
        break;
    case 0xA: channel.vibratoSpeed = uint8_t(x); break;
    case 0xB: channel.vibratoDepth = uint8_t(x); break;
    case 0xC:
        channel.panning = x * 16;
        channel.flags |= UpdatePanning;
        break;
    case 0xD:
        channel.panning -= x;
        channel.flags |= UpdatePanning;
        break;
    case 0xE:
        channel.panning += x;
        channel.flags |= UpdatePanning;
        break;
    case 0xF:
        if (x != 0) channel.portaSpeed = uint8_t(x * 16);
        channel.portaTarget = channel.notePeriod;
        channel.flags &= uint8_t(~UpdateTrigger);
        break;
    default: break;
    }
}

void volumeColumnTick(Channel& channel, uint8_t byte) {
    int32_t x = byte & 15;
    switch (byte >> 4) {
    case 0x6:
        channel.volume = std::max(channel.volume - x, 0);
        channel.flags |= UpdateVolume;
        break;
    case 0x7:
        channel.volume = std::min(channel.volume + x, 64);
        channel.flags |= UpdateVolume;
        break;
    case 0xB:
        channel.vibratoDepth = uint8_t(x);
        vibrato(channel);
        advanceVibrato(channel);
        break;
    case 0xD:
        channel.panning -= x;
        channel.flags |= UpdatePanning;
        break;
    case 0xE:
        channel.panning += x;
        channel.flags |= UpdatePanning;
        break;
    case 0xF: tonePortaStep(channel); break;
    default: break;
    }
}

// ---- effects, row tick -----------------------------------------------------------------------

struct RowContext {
    Module& module;
    bool jumped;  // an earlier channel of this row gave a position jump
};

void extendedRow(Module& module, Channel& channel, Sample* sample, uint8_t parameter) {
    uint8_t x = parameter & 15;
    switch (parameter >> 4) {
    case FinePortaUp: channel.period -= remember(channel.finePortaUpMemory, x) * 4; break;
    case FinePortaDown: channel.period += remember(channel.finePortaDownMemory, x) * 4; break;
    case VibratoWaveform: channel.waveControl = uint8_t((channel.waveControl & 0xF0) | x); break;
    case SetFinetune:
        if (sample != emptySample()) sample->finetune = int8_t(x);
        break;
    case PatternLoop:
        if (x == 0) {
            channel.loopRow = module.currentRow;
        } else {
            channel.loopCounter = channel.loopCounter == 0 ? x : channel.loopCounter - 1;
            // The next row is the loop row; the current row stays what is playing, so the rest
            // of this row's ticks and the position queries still see it.
            if (channel.loopCounter != 0) module.loopJumpRow = channel.loopRow;
        }
        break;
    case TremoloWaveform: channel.waveControl = uint8_t((channel.waveControl & 0x0F) | (x << 4)); break;
    case CoarsePanning:
        channel.panning = x * 16;
        channel.flags |= UpdatePanning;
        break;
    case FineVolumeUp:
        channel.volume = std::min(channel.volume + remember(channel.fineVolumeMemory, x), 64);
        channel.flags |= UpdateVolume;
        break;
    case FineVolumeDown:
        channel.volume = std::max(channel.volume - remember(channel.fineVolumeMemory, x), 0);
        channel.flags |= UpdateVolume;
        break;
    case NoteDelay: channel.flags &= uint8_t(~(UpdateFrequency | UpdateVolume | UpdatePanning | UpdateTrigger)); break;
    case PatternDelay: module.patternDelayTicks = x * module.speed; break;
    default: break;
    }
}

struct Saved {
    int32_t volume, period, panning;
};

void effectRow(RowContext& row, Channel& channel, const NoteCell& cell, const RowSound& sound, const Saved& saved) {
    Module& module = row.module;
    uint8_t parameter = cell.param;
    uint8_t x = parameter >> 4, y = parameter & 15;
    switch (cell.effect) {
    case PortaUp: remember(channel.portaUpMemory, parameter); break;
    case PortaDown: remember(channel.portaDownMemory, parameter); break;
    case TonePorta:
        remember(channel.portaSpeed, parameter);
        channel.portaTarget = channel.notePeriod;
        channel.flags &= uint8_t(~(UpdateTrigger | UpdateFrequency));
        break;
    case Vibrato:
        if (x) channel.vibratoSpeed = x;
        if (y) channel.vibratoDepth = y;
        vibrato(channel);
        break;
    case TonePortaSlide:
        channel.portaTarget = channel.notePeriod;
        remember(channel.volumeSlideMemory, parameter);
        channel.flags &= uint8_t(~(UpdateTrigger | UpdateFrequency));
        break;
    case VibratoSlide:
        remember(channel.volumeSlideMemory, parameter);
        vibrato(channel);
        break;
    case Tremolo:
        if (x) channel.tremoloSpeed = x;
        if (y) channel.tremoloDepth = y;
        break;
    case SetPanning:
        channel.panning = parameter;
        channel.flags |= UpdatePanning;
        break;
    case SampleOffset: {
        if (parameter) channel.offsetMemory = parameter;
        uint32_t offset = uint32_t(channel.offsetMemory) * 256;
        if (offset >= sound.sample->loopStart + sound.sample->loopLength) {
            channel.flags = uint8_t((channel.flags & ~UpdateTrigger) | UpdateRestart);
        } else {
            channel.voice->startOffset = offset;
        }
        break;
    }
    case VolumeSlide: remember(channel.volumeSlideMemory, parameter); break;
    case PositionJump:
        module.pendingOrder = parameter >= module.songLength ? 0 : parameter;
        module.pendingRow = 0;
        row.jumped = true;
        break;
    case SetVolume:
        channel.volume = parameter;
        channel.flags |= UpdateVolume;
        break;
    case PatternBreak: {
        int32_t target = x * 10 + y;
        module.pendingRow = target > 63 ? 0 : target;
        if (!row.jumped) {
            module.pendingOrder = module.currentOrder + 1;
            if (module.pendingOrder >= module.songLength) module.pendingOrder = 0;
        }
        break;
    }
    case Extended:
        if (x == NoteDelay) {
            channel.volume = saved.volume;
            channel.period = saved.period;
            channel.panning = saved.panning;
        }
        extendedRow(module, channel, sound.sample, parameter);
        break;
    case SetSpeed:
        if (parameter < 32) module.speed = parameter;
        else Sequencer::setTempo(&module, parameter);
        break;
    case SetGlobalVolume:
        module.globalVolume = parameter > 64 ? 64 : parameter;
        channel.flags |= UpdateVolume;
        break;
    case GlobalVolumeSlide: remember(module.globalVolumeSlideMemory, parameter); break;
    case SetEnvelopePosition:
        if (sound.instrument->volumeType & EnvelopeOn)
            setEnvelopePosition(channel.volumeEnvelope, volumeShape(*sound.instrument), parameter);
        break;
    case PanningSlide:
        remember(channel.panningSlideMemory, parameter);
        channel.flags |= UpdatePanning;
        break;
    case Retrigger:
        if (parameter) {
            channel.retriggerInterval = y;
            channel.retriggerVolumeChange = x;
        }
        break;
    case Tremor:
        if (parameter) {
            channel.tremorOn = uint8_t(x + 1);
            channel.tremorOff = uint8_t(y + 1);
        }
        tremorStep(channel);
        break;
    case ExtraFinePorta:
        if (x == 1) channel.period -= remember(channel.extraFineUpMemory, y);
        else if (x == 2) channel.period += remember(channel.extraFineDownMemory, y);
        break;
    default: break;
    }
}

// ---- effects, other ticks --------------------------------------------------------------------

int32_t retriggerVolume(int32_t volume, uint8_t change) {
    switch (change) {
    case 1: return volume - 1;
    case 2: return volume - 2;
    case 3: return volume - 4;
    case 4: return volume - 8;
    case 5: return volume - 16;
    case 6: return volume * 2 / 3;
    case 7: return volume / 2;
    case 9: return volume + 1;
    case 10: return volume + 2;
    case 11: return volume + 4;
    case 12: return volume + 8;
    case 13: return volume + 16;
    case 14: return volume * 3 / 2;
    case 15: return volume * 2;
    default: return volume;
    }
}

void arpeggio(const Module& module, Channel& channel, const Sample& sample, uint8_t parameter) {
    int32_t semitones = 0;
    switch (module.tickCounter % 3) {
    case 1: semitones = parameter >> 4; break;
    case 2: semitones = parameter & 15; break;
    default: break;
    }
    if (module.flags & LinearFrequencyFlag) {
        channel.periodOffset = semitones * 64;
    } else {
        channel.periodOffset = Sequencer::tablePeriod(channel.playedNote + semitones, sample.finetune) -
                               Sequencer::tablePeriod(channel.playedNote, sample.finetune);
    }
    channel.flags |= UpdateFrequency;
}

void effectTick(Module& module, Channel& channel, const NoteCell& cell, const RowSound& sound) {
    uint8_t parameter = cell.param;
    switch (cell.effect) {
    case Arpeggio:
        if (parameter) arpeggio(module, channel, *sound.sample, parameter);
        break;
    case PortaUp:
        channel.period = std::max(channel.period - channel.portaUpMemory * 4, 56);
        channel.periodOffset = 0;
        channel.flags |= UpdateFrequency;
        break;
    case PortaDown:
        channel.period += channel.portaDownMemory * 4;
        channel.periodOffset = 0;
        channel.flags |= UpdateFrequency;
        break;
    case TonePorta:
        channel.periodOffset = 0;
        tonePortaStep(channel);
        break;
    case Vibrato:
        vibrato(channel);
        advanceVibrato(channel);
        break;
    case TonePortaSlide:
        channel.periodOffset = 0;
        tonePortaStep(channel);
        volumeSlide(channel);
        break;
    case VibratoSlide:
        vibrato(channel);
        advanceVibrato(channel);
        volumeSlide(channel);
        break;
    case Tremolo: tremolo(channel); break;
    case VolumeSlide: volumeSlide(channel); break;
    case Extended: {
        uint8_t x = parameter & 15;
        switch (parameter >> 4) {
        case RetriggerNote:
            if (x != 0 && module.tickCounter % x == 0) channel.flags |= UpdateTrigger | UpdateFrequency | UpdateVolume;
            break;
        case NoteCut:
            if (module.tickCounter == x) {
                channel.volume = 0;
                channel.flags |= UpdateVolume;
            }
            break;
        case NoteDelay:
            if (module.tickCounter == x) {
                resetFromSample(channel, *sound.sample);
                channel.period = channel.notePeriod;
                channel.flags |= UpdateFrequency;
                if (cell.volume) volumeColumnRow(channel, cell.volume);
                channel.flags |= UpdateTrigger;
            } else {
                channel.flags &= uint8_t(~(UpdateFrequency | UpdateVolume | UpdatePanning | UpdateTrigger));
            }
            break;
        default: break;
        }
        break;
    }
    case GlobalVolumeSlide: {
        uint8_t memory = module.globalVolumeSlideMemory;
        if (memory >> 4) module.globalVolume = std::min(module.globalVolume + (memory >> 4), 64);
        else module.globalVolume = std::max(module.globalVolume - (memory & 15), 0);
        break;
    }
    case PanningSlide: {
        uint8_t memory = channel.panningSlideMemory;
        if (memory >> 4) channel.panning = std::min(channel.panning + (memory >> 4), 255);
        else channel.panning = std::max(channel.panning - (memory & 15), 0);
        channel.flags |= UpdatePanning;
        break;
    }
    case Retrigger:
        if (channel.retriggerInterval != 0 && module.tickCounter % channel.retriggerInterval == 0) {
            channel.volume = clamp(retriggerVolume(channel.volume, channel.retriggerVolumeChange), 0, 64);
            channel.flags |= UpdateVolume | UpdateTrigger;
        }
        break;
    case Tremor: tremorStep(channel); break;
    default: break;
    }
}

// ---- ticks -----------------------------------------------------------------------------------

void rowTickChannel(RowContext& row, Channel& channel, const NoteCell& cell) {
    Module& module = row.module;
    bool portaRow = cell.effect == TonePorta || cell.effect == TonePortaSlide;
    if (cell.instrument != 0 && !portaRow) channel.instrument = uint8_t(cell.instrument - 1);
    if (cell.note != 0 && cell.note != NoteKeyOff && !portaRow) channel.note = uint8_t(cell.note - 1);

    RowSound sound = lookUp(module, channel);
    if (!portaRow) channel.sample = sound.sample;
    Saved saved{channel.volume, channel.period, channel.panning};

    if (channel.previousEffect == Tremolo && cell.effect != Tremolo) channel.volume += channel.volumeOffset;
    channel.previousEffect = cell.effect;
    channel.volumeOffset = 0;
    channel.flags = 0;

    if (cell.note != 0 && cell.note != NoteKeyOff) {
        channel.playedNote = uint8_t(cell.note + sound.sample->relativeNote - 1);
        channel.notePeriod = notePeriod(module, channel.playedNote, sound.sample->finetune);
        if (!portaRow) {
            channel.period = channel.notePeriod;
            channel.flags = UpdateTrigger;
        }
    }
    channel.periodOffset = 0;
    channel.flags |= UpdateFrequency | UpdateVolume;
    if (cell.instrument != 0) resetFromSample(channel, *sound.sample);
    if (cell.volume != 0) volumeColumnRow(channel, cell.volume);
    if (cell.note == NoteKeyOff || cell.effect == KeyOff) channel.keyOff = 1;

    const Instrument& instrument = *sound.instrument;
    if ((instrument.volumeType & EnvelopeOn) && !channel.volumeEnvelope.finished)
        stepEnvelope(channel.volumeEnvelope, volumeShape(instrument), channel.keyOff, channel, UpdateVolume);
    else if (!(instrument.volumeType & EnvelopeOn) && channel.keyOff)
        channel.volumeEnvelope.value = 0;
    if ((instrument.panningType & EnvelopeOn) && !channel.panningEnvelope.finished)
        stepEnvelope(channel.panningEnvelope, panningShape(instrument), channel.keyOff, channel, UpdatePanning);
    fadeOut(channel, instrument);

    effectRow(row, channel, cell, sound, saved);
    autoVibrato(channel, instrument);
    Mixer::commitChannel(channel, sound.sample, module);
}

void rowTick(Module& module) {
    module.pendingOrder = -1;
    module.pendingRow = -1;
    module.loopJumpRow = -1;
    const NoteCell* cells = rowCells(module, module.currentOrder, module.currentRow);
    if (!cells) return;
    RowContext row{module, false};
    for (int c = 0; c < module.channels; ++c) rowTickChannel(row, module.channelTable[c], cells[c]);
}

void effectTickAll(Module& module) {
    const NoteCell* cells = rowCells(module, module.currentOrder, module.currentRow);
    for (int c = 0; c < module.channels; ++c) {
        Channel& channel = module.channelTable[c];
        const NoteCell& cell = cells ? cells[c] : emptyCell;
        RowSound sound = lookUp(module, channel);
        channel.volumeOffset = 0;
        channel.periodOffset = 0;
        channel.flags = 0;
        runEnvelopes(channel, *sound.instrument);
        fadeOut(channel, *sound.instrument);
        if (cell.volume) volumeColumnTick(channel, cell.volume);
        effectTick(module, channel, cell, sound);
        autoVibrato(channel, *sound.instrument);
        Mixer::commitChannel(channel, sound.sample, module);
    }
}

// Makes order current, counting a return to an order already played (the song has looped).
void enterOrder(Module& module, int32_t order) {
    uint32_t bit = uint32_t(order) & 255;
    if (module.visitedOrders[bit >> 3] & (1u << (bit & 7))) ++module.orderRevisits;
    module.visitedOrders[bit >> 3] |= uint8_t(1u << (bit & 7));
    module.currentOrder = order;
}

}  // namespace

int32_t Sequencer::tablePeriod(int32_t note, int32_t finetune) {
    auto p = [note](int32_t k) {
        return int32_t(std::pow(2.0f, float(k - note) * (1.0f / 12.0f)) * 13.375f);
    };
    int32_t base = p(132);
    if (finetune >= 0 || note == 0) return base + (base - p(131)) * finetune / -128;
    return base + (base - p(133)) * (finetune < 0 ? -finetune : finetune) / -128;
}

void Sequencer::setTempo(Module* module, int32_t tempo) {
    module->tempo = tempo;
    uint32_t rate = module->mixer ? module->mixer->rate : 44100;
    if (tempo < 1) tempo = 1;
    long double frames = 1000.0L / ((long double)tempo * (long double)0.4f) * (long double)rate * (long double)0.001f;
    module->framesPerTick = uint32_t(frames);
    if (module->framesPerTick == 0) module->framesPerTick = 1;
}

void Sequencer::reset(Module* module) {
    module->globalVolume = module->initialGlobalVolume;
    module->pendingOrder = -1;
    module->pendingRow = -1;
    module->speed = module->defaultSpeed;
    module->currentRow = 0;
    module->currentOrder = 0;
    module->tickFramesLeft = 0;
    module->tickCounter = 0;
    module->patternDelayTicks = 0;
    module->elapsedMs = 0;
    std::memset(module->visitedOrders, 0, sizeof(module->visitedOrders));
    module->visitedOrders[0] = 1;
    module->orderRevisits = 0;
    setTempo(module, module->defaultTempo);
}

void Sequencer::tick(Module* module) {
    Module& m = *module;
    if (m.tickCounter == 0) {
        if (m.pendingOrder >= 0) enterOrder(m, m.pendingOrder);
        if (m.pendingRow >= 0) m.currentRow = m.pendingRow;
        rowTick(m);
        if (m.pendingRow == -1 && m.loopJumpRow >= 0) m.pendingRow = m.loopJumpRow;
        if (m.pendingRow == -1) {
            m.pendingRow = m.currentRow + 1;
            if (uint32_t(m.pendingRow) >= patternRows(m, m.currentOrder)) {
                m.pendingOrder = m.currentOrder + 1;
                if (m.pendingOrder >= m.songLength) m.pendingOrder = m.restartPosition;
                m.pendingRow = 0;
            }
        }
    } else {
        effectTickAll(m);
    }
    ++m.tickCounter;
    if (m.tickCounter >= m.speed + m.patternDelayTicks) {
        m.tickCounter = 0;
        m.patternDelayTicks = 0;
    }
}
