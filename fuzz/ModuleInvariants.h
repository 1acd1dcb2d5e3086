#pragma once
// What must hold of any module the loader accepts and of the player while it plays one, checked
// by the module fuzz target. A broken invariant ends the process with a line naming it, which the
// fuzzer reports as a crash.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_set>

#include "music/Mixer.h"
#include "music/Module.h"
#include "music/ModuleLoader.h"
#include "music/XmRecords.h"

inline void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "module invariant broken: %s\n", what);
    std::abort();
}

// ---- The loaded module ----------------------------------------------------------------------

inline void checkEnvelope(uint8_t count, uint8_t sustain, uint8_t loopStart, uint8_t loopEnd, uint8_t type,
                          const EnvelopePoint* points) {
    require(count <= XmEnvelopePoints, "an envelope has at most 12 points");
    require(count >= 2 || type == 0, "an envelope of fewer than 2 points is off");
    require(!(type & EnvelopeSustain) || sustain < count, "an envelope's sustain point is one of its points");
    require(!(type & EnvelopeLoop) || (loopStart < count && loopEnd < count),
            "an envelope's loop points are among its points");
    for (uint32_t i = 0; i < XmEnvelopePoints; ++i) require(points[i].y <= XmEnvelopeTop, "envelope values are 0..64");
}

// The data the mixer reads around a sample: zero lead slots before it (a loop start may step to
// -1), the guard slot at the loop end holding the value interpolation needs there, zero after.
inline void checkSample(const Sample& sample) {
    require(sample.bits == 16, "every sample is 16-bit after loading");
    if (sample.length == 0) return;
    require(sample.length <= (1u << 24) - 1, "a sample fits the mixer's 8.24 boundary arithmetic");
    require(sample.data != nullptr, "a sample with a length has data");
    require(sample.loopMode == LoopNone || sample.loopMode == LoopForward || sample.loopMode == LoopPingPong,
            "a sample's loop mode is one the mixer knows");
    require(sample.loopLength >= 1, "a sample's loop is never empty");
    require(sample.loopStart < sample.length && sample.loopLength <= sample.length - sample.loopStart,
            "a sample's loop lies inside its data");
    uint32_t end = sample.loopStart + sample.loopLength;
    if (sample.loopMode == LoopForward)
        require(sample.data[end] == sample.data[sample.loopStart], "a forward loop's guard repeats its start");
    if (sample.loopMode == LoopPingPong)
        require(sample.data[end] == sample.data[end - 1], "a ping-pong loop's guard repeats its last value");
    for (int i = -4; i < 0; ++i) require(sample.data[i] == 0, "the slots before a sample's data are zero");
    for (uint32_t i = sample.length + 1; i < sample.length + 8; ++i)
        require(sample.data[i] == 0, "the slots after a sample's data are zero");
}

inline void checkInstrument(const Instrument& instrument) {
    require(instrument.sampleCount <= MaxInstrumentSamples, "an instrument has at most 256 samples");
    for (uint32_t s = 0; s < MaxInstrumentSamples; ++s) {
        require(instrument.samples[s] != nullptr, "every sample entry of an instrument points to a sample");
        if (s < instrument.sampleCount) checkSample(*instrument.samples[s]);
    }
    checkEnvelope(instrument.volumePointCount, instrument.volumeSustain, instrument.volumeLoopStart,
                  instrument.volumeLoopEnd, instrument.volumeType, instrument.volumePoints);
    checkEnvelope(instrument.panningPointCount, instrument.panningSustain, instrument.panningLoopStart,
                  instrument.panningLoopEnd, instrument.panningType, instrument.panningPoints);
}

inline void checkPatterns(const Module& module) {
    require(module.patternSlots <= XmMaxPatterns, "at most 256 pattern slots");
    require(module.referencedPatterns <= module.patternSlots, "every pattern an order names has a slot");
    require(module.patterns != nullptr, "the pattern table exists");
    for (int i = 0; i < module.songLength; ++i)
        require(module.orderTable[i] < module.patternSlots, "every order of the song names a pattern slot");
    for (uint32_t p = 0; p < module.patternSlots; ++p) {
        const Pattern& pattern = module.patterns[p];
        require(pattern.rows <= XmMaxRows, "a pattern has at most 256 rows");
        if (pattern.rows == 0) continue;
        require(pattern.cells != nullptr, "a pattern with rows has cells");
        for (size_t c = 0; c < size_t(pattern.rows) * size_t(module.channels); ++c)
            require(pattern.cells[c].instrument <= XmMaxInstruments, "a cell's instrument is 0..128");
    }
}

inline void checkModule(const Module& module) {
    require(module.channels >= 1 && module.channels <= MaxChannels, "1 to 32 channels");
    require(module.songLength >= 0 && uint32_t(module.songLength) <= XmMaxOrders, "at most 256 orders");
    require(module.restartPosition == 0 || module.restartPosition < module.songLength,
            "the restart position is an order of the song");
    require(module.instrumentCount >= 0 && uint32_t(module.instrumentCount) <= XmMaxInstruments,
            "at most 128 instruments");
    require(module.defaultTempo >= 1 && module.defaultTempo <= XmMaxSpeedOrTempo, "the tempo is 1..255");
    require(module.defaultSpeed >= 0 && module.defaultSpeed <= XmMaxSpeedOrTempo, "the speed is 0..255");
    checkPatterns(module);
    for (int i = 0; i < module.instrumentCount; ++i) checkInstrument(module.instruments[i]);
    require(emptySample()->length == 0 && emptySample()->data == nullptr, "the shared empty sample stays empty");
}

// Everything loading decides, as text: two loads of the same bytes must give the same text.
inline std::string describe(const Module& module) {
    std::string text;
    auto add = [&text](const void* bytes, size_t size) { text.append(static_cast<const char*>(bytes), size); };
    auto field = [&add](const auto& value) { add(&value, sizeof value); };
    field(module.songLength);
    field(module.restartPosition);
    field(module.channels);
    field(module.patternSlots);
    field(module.instrumentCount);
    field(module.flags);
    field(module.defaultSpeed);
    field(module.defaultTempo);
    field(module.orderTable);
    for (uint32_t p = 0; p < module.patternSlots; ++p) {
        const Pattern& pattern = module.patterns[p];
        field(pattern.rows);
        if (pattern.cells) add(pattern.cells, size_t(pattern.rows) * size_t(module.channels) * sizeof(NoteCell));
    }
    for (int i = 0; i < module.instrumentCount; ++i) {
        const Instrument& instrument = module.instruments[i];
        field(instrument.sampleCount);
        field(instrument.sampleMap);
        field(instrument.volumePoints);
        field(instrument.panningPoints);
        const uint8_t envelopes[] = {
            instrument.volumePointCount, instrument.panningPointCount, instrument.volumeSustain,
            instrument.volumeLoopStart,  instrument.volumeLoopEnd,     instrument.panningSustain,
            instrument.panningLoopStart, instrument.panningLoopEnd,    instrument.volumeType,
            instrument.panningType,      instrument.vibratoType,       instrument.vibratoSweep,
            instrument.vibratoDepth,     instrument.vibratoRate};
        field(envelopes);
        field(instrument.fadeout);
        for (uint32_t s = 0; s < instrument.sampleCount; ++s) {
            const Sample& sample = *instrument.samples[s];
            field(sample.length);
            field(sample.loopStart);
            field(sample.loopLength);
            field(sample.volume);
            field(sample.finetune);
            field(sample.panning);
            field(sample.loopMode);
            field(sample.relativeNote);
            if (sample.data) add(sample.data, (size_t(sample.length) + 1) * sizeof(int16_t));
        }
    }
    return text;
}

// ---- Playing --------------------------------------------------------------------------------

// The samples of a module, for telling whether a voice plays one of them.
inline std::unordered_set<const Sample*> samplesOf(const Module& module) {
    std::unordered_set<const Sample*> samples;
    for (int i = 0; i < module.instrumentCount; ++i)
        for (uint32_t s = 0; s < module.instruments[i].sampleCount; ++s)
            samples.insert(module.instruments[i].samples[s]);
    return samples;
}

// After a sequencer tick: the song position is one the order table and its patterns can hold.
inline void checkPosition(const Module& module) {
    int32_t orders = module.songLength > 0 ? module.songLength : 1;
    require(module.currentOrder >= 0 && module.currentOrder < orders, "the current order is an order of the song");
    require(module.currentRow >= 0 && uint32_t(module.currentRow) < XmMaxRows, "the current row is 0..255");
    require(module.framesPerTick >= 1, "a tick lasts at least one frame");
}

// After mixing: every sounding voice plays a sample of this module from inside its data.
inline void checkVoices(const Mixer& mixer, const std::unordered_set<const Sample*>& samples) {
    for (const Voice& voice : mixer.voices) {
        if (!voice.sample) continue;
        require(samples.count(voice.sample) == 1, "a voice plays a sample of the module");
        require(voice.sample->length > 0, "a sounding voice has data to play");
        int64_t index = positionIndex(voice.position);
        require(index >= -1 && index <= int64_t(voice.sample->loopStart + voice.sample->loopLength),
                "a voice's position lies within its sample's data");
    }
}

// Mixed output: finite, and no louder than every voice at the highest gain the volume arithmetic
// allows (2^24 / 255) on a full-scale sample.
inline void checkMixed(const float* block, size_t values) {
    const float loudest = float(VoiceCount) * 32768.0f * (16777216.0f / 255.0f);
    for (size_t i = 0; i < values; ++i) {
        require(std::isfinite(block[i]), "mixed output is finite");
        require(std::fabs(block[i]) <= loudest, "mixed output stays within what the voices can add up to");
    }
}
