#include "music/Effects.h"

#include <algorithm>

#include "music/ChannelModulation.h"
#include "music/Envelope.h"
#include "music/Mixer.h"
#include "music/ModuleLoader.h"
#include "music/Pitch.h"
#include "music/Sequencer.h"

namespace {

// What a note delay holds back until its tick, and what it then starts.
constexpr uint8_t NoteUpdates = UpdateFrequency | UpdateVolume | UpdatePanning | UpdateTrigger;
// Portamento up stops at this period.
constexpr int32_t LowestPortaPeriod = 56;

int32_t clamp(int32_t value, int32_t low, int32_t high) { return value < low ? low : (value > high ? high : value); }

// Stores a nonzero parameter in memory; returns what the memory holds.
uint8_t remember(uint8_t& memory, uint8_t parameter) {
    if (parameter != 0) memory = parameter;
    return memory;
}

void setVolume(Channel& channel, int32_t volume) {
    channel.volume = volume;
    channel.flags |= UpdateVolume;
}

void setPanning(Channel& channel, int32_t panning) {
    channel.panning = panning;
    channel.flags |= UpdatePanning;
}

// The volume column's panning slides have no limit: the channel's panning may leave 0..255 (the
// mixer clamps the panning it applies, so the gains stay within 0..255).
void slidePanning(Channel& channel, int32_t delta) { setPanning(channel, channel.panning + delta); }

// ---- Row tick ----

void startTonePorta(Channel& channel) {
    channel.portaTarget = channel.notePeriod;
    channel.flags &= uint8_t(~(UpdateTrigger | UpdateFrequency));
}

void sampleOffset(Channel& channel, const Sample& sample, uint8_t parameter) {
    if (parameter) channel.offsetMemory = parameter;
    uint32_t offset = uint32_t(channel.offsetMemory) * 256;
    if (offset >= sample.loopStart + sample.loopLength) {
        channel.flags = uint8_t((channel.flags & ~UpdateTrigger) | UpdateRestart);
    } else {
        channel.voice->startOffset = offset;
    }
}

void positionJump(RowContext& row, uint8_t order) {
    row.module.pendingOrder = order >= row.module.songLength ? 0 : order;
    row.module.pendingRow = 0;
    row.jumped = true;
}

// The target row is written in decimal digits: x tens and y ones.
void patternBreak(RowContext& row, uint8_t x, uint8_t y) {
    Module& module = row.module;
    int32_t target = x * 10 + y;
    module.pendingRow = target > 63 ? 0 : target;
    if (!row.jumped) {
        module.pendingOrder = module.currentOrder + 1;
        if (module.pendingOrder >= module.songLength) module.pendingOrder = 0;
    }
}

void setSpeed(Module& module, uint8_t parameter) {
    if (parameter < 32)
        module.speed = parameter;
    else
        Sequencer::setTempo(&module, parameter);
}

void setGlobalVolume(Module& module, Channel& channel, uint8_t parameter) {
    module.globalVolume = std::min(int32_t(parameter), MaxVolume);
    channel.flags |= UpdateVolume;
}

void setEnvelopePosition(Channel& channel, const Instrument& instrument, uint8_t parameter) {
    if (!(instrument.volumeType & EnvelopeOn)) return;
    setEnvelopePosition(channel.volumeEnvelope, volumeShape(instrument), parameter);
}

// Speed x and depth y of a vibrato or tremolo; a 0 keeps the one before.
void setWave(uint8_t& speed, uint8_t& depth, uint8_t parameter) {
    remember(speed, parameter >> 4);
    remember(depth, parameter & 15);
}

// Volume change x and interval y; a 0 parameter keeps both.
void setRetrigger(Channel& channel, uint8_t parameter) {
    if (parameter == 0) return;
    channel.retriggerInterval = parameter & 15;
    channel.retriggerVolumeChange = parameter >> 4;
}

// x + 1 ticks on and y + 1 off; a 0 parameter keeps both. The row tick counts as a tremor tick.
void tremorRow(Channel& channel, uint8_t parameter) {
    if (parameter) {
        channel.tremorOn = uint8_t((parameter >> 4) + 1);
        channel.tremorOff = uint8_t((parameter & 15) + 1);
    }
    tremorStep(channel);
}

void extraFinePorta(Channel& channel, uint8_t x, uint8_t y) {
    if (x == 1)
        channel.period -= remember(channel.extraFineUpMemory, y);
    else if (x == 2)
        channel.period += remember(channel.extraFineDownMemory, y);
}

void patternLoop(Module& module, Channel& channel, uint8_t x) {
    if (x == 0) {
        channel.loopRow = module.currentRow;
        return;
    }
    channel.loopCounter = channel.loopCounter == 0 ? x : channel.loopCounter - 1;
    // The next row is the loop row; the current row stays what is playing, so the rest of this
    // row's ticks and the position queries still see it.
    if (channel.loopCounter != 0) module.loopJumpRow = channel.loopRow;
}

void fineVolume(Channel& channel, Slide direction, uint8_t x) {
    slideVolume(channel, direction, remember(channel.fineVolumeMemory, x));
}

// A note delay puts back what the row's note and volume column changed and holds its updates.
void delayNote(Channel& channel, const Saved& saved) {
    channel.volume = saved.volume;
    channel.period = saved.period;
    channel.panning = saved.panning;
    channel.flags &= uint8_t(~NoteUpdates);
}

void extendedRow(Module& module, Channel& channel, Sample* sample, const Saved& saved, uint8_t parameter) {
    uint8_t x = parameter & 15;
    uint8_t& wave = channel.waveControl;
    switch (ExtendedEffect(parameter >> 4)) {
    case ExtendedEffect::FinePortaUp: channel.period -= remember(channel.finePortaUpMemory, x) * 4; break;
    case ExtendedEffect::FinePortaDown: channel.period += remember(channel.finePortaDownMemory, x) * 4; break;
    case ExtendedEffect::VibratoWaveform: wave = uint8_t((wave & 0xF0) | x); break;
    case ExtendedEffect::SetFinetune:
        if (sample != emptySample()) sample->finetune = int8_t(x);
        break;
    case ExtendedEffect::PatternLoop: patternLoop(module, channel, x); break;
    case ExtendedEffect::TremoloWaveform: wave = uint8_t((wave & 0x0F) | (x << 4)); break;
    case ExtendedEffect::CoarsePanning: setPanning(channel, x * 16); break;
    case ExtendedEffect::FineVolumeUp: fineVolume(channel, Slide::Up, x); break;
    case ExtendedEffect::FineVolumeDown: fineVolume(channel, Slide::Down, x); break;
    case ExtendedEffect::NoteDelay: delayNote(channel, saved); break;
    case ExtendedEffect::PatternDelay: module.patternDelayTicks = x * module.speed; break;
    default: break;
    }
}

// ---- Other ticks ----

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
        channel.periodOffset = semitones * PeriodsPerSemitone;
    } else {
        channel.periodOffset = Sequencer::tablePeriod(channel.playedNote + semitones, sample.finetune) -
                               Sequencer::tablePeriod(channel.playedNote, sample.finetune);
    }
    channel.flags |= UpdateFrequency;
}

// A portamento moves the period itself, so no offset stands on top of it.
void porta(Channel& channel, int32_t period) {
    channel.period = period;
    channel.periodOffset = 0;
    channel.flags |= UpdateFrequency;
}

void tonePorta(Channel& channel) {
    channel.periodOffset = 0;
    tonePortaStep(channel);
}

void vibratoTick(Channel& channel) {
    vibrato(channel);
    advanceVibrato(channel);
}

void retrigger(const Module& module, Channel& channel) {
    if (channel.retriggerInterval == 0 || module.tickCounter % channel.retriggerInterval != 0) return;
    channel.volume = clamp(retriggerVolume(channel.volume, channel.retriggerVolumeChange), 0, MaxVolume);
    channel.flags |= UpdateVolume | UpdateTrigger;
}

// The delayed note starts on its tick as the row would have started it; before that tick it is held.
void delayedNote(const Module& module, Channel& channel, const NoteCell& cell, const Sample& sample, uint8_t tick) {
    if (module.tickCounter != tick) {
        channel.flags &= uint8_t(~NoteUpdates);
        return;
    }
    resetFromSample(channel, sample);
    channel.period = channel.notePeriod;
    channel.flags |= UpdateFrequency;
    if (cell.volume) volumeColumnRow(channel, cell.volume);
    channel.flags |= UpdateTrigger;
}

void extendedTick(const Module& module, Channel& channel, const NoteCell& cell, const Sample& sample) {
    uint8_t x = cell.param & 15;
    switch (ExtendedEffect(cell.param >> 4)) {
    case ExtendedEffect::RetriggerNote:
        if (x != 0 && module.tickCounter % x == 0) channel.flags |= UpdateTrigger | UpdateFrequency | UpdateVolume;
        break;
    case ExtendedEffect::NoteCut:
        if (module.tickCounter == x) setVolume(channel, 0);
        break;
    case ExtendedEffect::NoteDelay: delayedNote(module, channel, cell, sample, x); break;
    default: break;
    }
}

}  // namespace

int32_t notePeriod(const Module& module, int32_t playedNote, int32_t finetune) {
    if (module.flags & LinearFrequencyFlag)
        return LinearTopPeriod - playedNote * PeriodsPerSemitone -
               finetune * PeriodsPerSemitone / FinetuneStepsPerSemitone;
    return Sequencer::tablePeriod(playedNote, finetune);
}

void resetFromSample(Channel& channel, const Sample& sample) {
    channel.volume = sample.volume;
    channel.panning = sample.panning;
    channel.volumeEnvelope.value = EnvelopeTop;
    channel.volumeEnvelope.tick = 0;
    channel.volumeEnvelope.pointIndex = 0;
    channel.volumeEnvelope.slope = 0;
    channel.panningEnvelope.value = PanningEnvelopeCentre;
    channel.panningEnvelope.tick = 0;
    channel.panningEnvelope.pointIndex = 0;
    channel.panningEnvelope.slope = 0;
    channel.keyOff = 0;
    channel.fadeoutVolume = FadeoutFull;
    channel.volumeEnvelope.finished = 0;
    channel.panningEnvelope.finished = 0;
    channel.autoVibratoPosition = 0;
    channel.autoVibratoSweep = 0;
    if ((channel.waveControl & 15) < 4) channel.vibratoPosition = 0;
    if ((channel.waveControl >> 4) < 4) channel.tremoloPosition = 0;
    channel.tremorCounter = 0;
    channel.flags |= UpdateVolume | UpdatePanning;
}

// On the row tick both kinds of volume slide move once; on the other ticks only the plain ones.
void volumeColumnRow(Channel& channel, uint8_t byte) {
    if (byte >= VolumeColumnSetLow && byte <= VolumeColumnSetHigh) {
        setVolume(channel, byte - VolumeColumnSetLow);
        return;
    }
    int32_t x = byte & 15;
    switch (VolumeCommand(byte >> 4)) {
    case VolumeCommand::SlideDown:
    case VolumeCommand::FineSlideDown: slideVolume(channel, Slide::Down, x); break;
    case VolumeCommand::SlideUp:
    case VolumeCommand::FineSlideUp: slideVolume(channel, Slide::Up, x); break;
    case VolumeCommand::VibratoSpeed: channel.vibratoSpeed = uint8_t(x); break;
    case VolumeCommand::Vibrato: channel.vibratoDepth = uint8_t(x); break;
    case VolumeCommand::SetPanning: setPanning(channel, x * 16); break;
    case VolumeCommand::PanningSlideLeft: slidePanning(channel, -x); break;
    case VolumeCommand::PanningSlideRight: slidePanning(channel, x); break;
    case VolumeCommand::TonePorta:
        if (x != 0) channel.portaSpeed = uint8_t(x * 16);
        channel.portaTarget = channel.notePeriod;
        channel.flags &= uint8_t(~UpdateTrigger);
        break;
    default: break;
    }
}

void volumeColumnTick(Channel& channel, uint8_t byte) {
    int32_t x = byte & 15;
    switch (VolumeCommand(byte >> 4)) {
    case VolumeCommand::SlideDown: slideVolume(channel, Slide::Down, x); break;
    case VolumeCommand::SlideUp: slideVolume(channel, Slide::Up, x); break;
    case VolumeCommand::Vibrato:
        channel.vibratoDepth = uint8_t(x);
        vibratoTick(channel);
        break;
    case VolumeCommand::PanningSlideLeft: slidePanning(channel, -x); break;
    case VolumeCommand::PanningSlideRight: slidePanning(channel, x); break;
    case VolumeCommand::TonePorta: tonePortaStep(channel); break;
    default: break;
    }
}

void effectRow(RowContext& row, Channel& channel, const NoteCell& cell, const RowSound& sound, const Saved& saved) {
    Module& module = row.module;
    uint8_t parameter = cell.param;
    uint8_t x = parameter >> 4, y = parameter & 15;
    switch (Effect(cell.effect)) {
    case Effect::PortaUp: remember(channel.portaUpMemory, parameter); break;
    case Effect::PortaDown: remember(channel.portaDownMemory, parameter); break;
    case Effect::TonePorta:
        remember(channel.portaSpeed, parameter);
        startTonePorta(channel);
        break;
    case Effect::Vibrato:
        setWave(channel.vibratoSpeed, channel.vibratoDepth, parameter);
        vibrato(channel);
        break;
    case Effect::TonePortaSlide:
        remember(channel.volumeSlideMemory, parameter);
        startTonePorta(channel);
        break;
    case Effect::VibratoSlide:
        remember(channel.volumeSlideMemory, parameter);
        vibrato(channel);
        break;
    case Effect::Tremolo: setWave(channel.tremoloSpeed, channel.tremoloDepth, parameter); break;
    case Effect::SetPanning: setPanning(channel, parameter); break;
    case Effect::SampleOffset: sampleOffset(channel, *sound.sample, parameter); break;
    case Effect::VolumeSlide: remember(channel.volumeSlideMemory, parameter); break;
    case Effect::PositionJump: positionJump(row, parameter); break;
    case Effect::SetVolume: setVolume(channel, parameter); break;
    case Effect::PatternBreak: patternBreak(row, x, y); break;
    case Effect::Extended: extendedRow(module, channel, sound.sample, saved, parameter); break;
    case Effect::SetSpeed: setSpeed(module, parameter); break;
    case Effect::SetGlobalVolume: setGlobalVolume(module, channel, parameter); break;
    case Effect::GlobalVolumeSlide: remember(module.globalVolumeSlideMemory, parameter); break;
    case Effect::SetEnvelopePosition: setEnvelopePosition(channel, *sound.instrument, parameter); break;
    case Effect::PanningSlide:
        remember(channel.panningSlideMemory, parameter);
        channel.flags |= UpdatePanning;
        break;
    case Effect::Retrigger: setRetrigger(channel, parameter); break;
    case Effect::Tremor: tremorRow(channel, parameter); break;
    case Effect::ExtraFinePorta: extraFinePorta(channel, x, y); break;
    default: break;
    }
}

void effectTick(Module& module, Channel& channel, const NoteCell& cell, const RowSound& sound) {
    uint8_t parameter = cell.param;
    switch (Effect(cell.effect)) {
    case Effect::Arpeggio:
        if (parameter) arpeggio(module, channel, *sound.sample, parameter);
        break;
    case Effect::PortaUp:
        porta(channel, std::max(channel.period - channel.portaUpMemory * 4, LowestPortaPeriod));
        break;
    case Effect::PortaDown: porta(channel, channel.period + channel.portaDownMemory * 4); break;
    case Effect::TonePorta: tonePorta(channel); break;
    case Effect::Vibrato: vibratoTick(channel); break;
    case Effect::TonePortaSlide:
        tonePorta(channel);
        volumeSlide(channel);
        break;
    case Effect::VibratoSlide:
        vibratoTick(channel);
        volumeSlide(channel);
        break;
    case Effect::Tremolo: tremolo(channel); break;
    case Effect::VolumeSlide: volumeSlide(channel); break;
    case Effect::Extended: extendedTick(module, channel, cell, *sound.sample); break;
    case Effect::GlobalVolumeSlide:
        module.globalVolume = nibbleSlide(module.globalVolume, module.globalVolumeSlideMemory, MaxVolume);
        break;
    case Effect::PanningSlide:
        setPanning(channel, nibbleSlide(channel.panning, channel.panningSlideMemory, MaxPanning));
        break;
    case Effect::Retrigger: retrigger(module, channel); break;
    case Effect::Tremor: tremorStep(channel); break;
    default: break;
    }
}
