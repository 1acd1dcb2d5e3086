#include "music/Effects.h"

#include <algorithm>

#include "music/ChannelModulation.h"
#include "music/Envelope.h"
#include "music/ModuleLoader.h"
#include "music/Mixer.h"
#include "music/Sequencer.h"

namespace {

int32_t clamp(int32_t value, int32_t low, int32_t high) { return value < low ? low : (value > high ? high : value); }

// The volume column's panning slides have no limit: the channel's panning may leave 0..255 (the
// mixer clamps the panning it applies, so the gains stay within 0..255).
void slidePanning(Channel& channel, int32_t delta) {
    channel.panning += delta;
    channel.flags |= UpdatePanning;
}

// Stores a nonzero parameter in memory; returns what the memory holds.
uint8_t remember(uint8_t& memory, uint8_t parameter) {
    if (parameter != 0) memory = parameter;
    return memory;
}

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

}  // namespace


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
    case 0xD: slidePanning(channel, -x); break;
    case 0xE: slidePanning(channel, x); break;
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
    case 0xD: slidePanning(channel, -x); break;
    case 0xE: slidePanning(channel, x); break;
    case 0xF: tonePortaStep(channel); break;
    default: break;
    }
}


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
