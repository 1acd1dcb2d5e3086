#include "music/Sequencer.h"

#include <algorithm>
#include <cmath>

#include "core/PortableMath.h"
#include "music/Channel.h"
#include "music/ChannelModulation.h"
#include "music/Effects.h"
#include "music/Envelope.h"
#include "music/Mixer.h"
#include "music/ModuleLoader.h"
#include "music/Pitch.h"

namespace {

const Instrument silentInstrument{};
const NoteCell emptyCell{};

// The channel's instrument and the sample its note maps to, looked up afresh on every tick.
RowSound lookUp(const Module& module, const Channel& channel) {
    if (channel.instrument >= module.instrumentCount) return {&silentInstrument, emptySample()};
    const Instrument& instrument = module.instruments[channel.instrument];
    if (channel.note >= 96) return {&instrument, emptySample()};
    uint8_t entry = instrument.sampleMap[channel.note];
    if (entry >= instrument.sampleCount || !instrument.samples[entry]) return {&instrument, emptySample()};
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

void rowTickChannel(RowContext& row, Channel& channel, const NoteCell& cell) {
    Module& module = row.module;
    Effect effect = Effect(cell.effect);
    bool portaRow = effect == Effect::TonePorta || effect == Effect::TonePortaSlide;
    if (cell.instrument != 0 && !portaRow) channel.instrument = uint8_t(cell.instrument - 1);
    if (cell.note != 0 && cell.note != NoteKeyOff && !portaRow) channel.note = uint8_t(cell.note - 1);

    RowSound sound = lookUp(module, channel);
    if (!portaRow) channel.sample = sound.sample;
    Saved saved{channel.volume, channel.period, channel.panning};

    if (Effect(channel.previousEffect) == Effect::Tremolo && effect != Effect::Tremolo)
        channel.volume += channel.volumeOffset;
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
    if (cell.note == NoteKeyOff || effect == Effect::KeyOff) channel.keyOff = 1;

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

}  // namespace

int32_t Sequencer::tablePeriod(int32_t note, int32_t finetune) {
    auto p = [note](int32_t k) {
        return int32_t(portable::exp2(float(k - note) * (1.0f / float(SemitonesPerOctave))) * TopNotePeriod);
    };
    // Finetune moves between this note's period and the next one's, up or down.
    int32_t base = p(TopNote);
    if (finetune >= 0 || note == 0) return base + (base - p(TopNote - 1)) * finetune / -FinetuneStepsPerSemitone;
    return base + (base - p(TopNote + 1)) * (finetune < 0 ? -finetune : finetune) / -FinetuneStepsPerSemitone;
}

uint32_t Sequencer::framesPerTick(int32_t tempo, uint32_t rate) {
    // 1000 / (tempo * 0.4f) * rate * 0.001f with the float constants' exact values, 0.4f being
    // 13421773 / 2^25 and 0.001f 8589935 / 2^33: 125 * 8589935 * rate / (tempo * 13421773 * 32),
    // truncated. The numerator stays below 2^62 for any rate, the denominator below 2^61.
    uint64_t numerator = uint64_t(125 * 8589935) * rate;
    uint64_t denominator = uint64_t(tempo) * (13421773 * 32);
    return uint32_t(numerator / denominator);
}

void Sequencer::setTempo(Module* module, int32_t tempo) {
    module->tempo = tempo;
    uint32_t rate = module->mixer ? module->mixer->rate : 44100;
    if (tempo < 1) tempo = 1;
    module->framesPerTick = framesPerTick(tempo, rate);
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
    setTempo(module, module->defaultTempo);
}

void Sequencer::tick(Module* module) {
    Module& m = *module;
    if (m.tickCounter == 0) {
        if (m.pendingOrder >= 0) m.currentOrder = m.pendingOrder;
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
