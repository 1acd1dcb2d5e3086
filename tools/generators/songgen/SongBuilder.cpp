#include "tools/generators/songgen/SongBuilder.h"

#include "tools/generators/songgen/Synth.h"

namespace {

XmEnvelope toEnvelope(const EnvelopeSource& source) {
    XmEnvelope envelope;
    for (const auto& [x, y] : source.points) envelope.points.push_back({x, y});
    if (source.points.size() >= 2) envelope.type |= 1;
    if (source.sustain >= 0) {
        envelope.type |= 2;
        envelope.sustain = uint8_t(source.sustain);
    }
    if (source.loopStart >= 0) {
        envelope.type |= 4;
        envelope.loopStart = uint8_t(source.loopStart);
        envelope.loopEnd = uint8_t(source.loopEnd);
    }
    return envelope;
}

bool checkRecipe(const InstrumentSource& instrument, const SampleRecipe& recipe, std::string& error) {
    std::string where = "instrument '" + instrument.name + "' sample '" + recipe.name + "': ";
    if (recipe.loop != SampleLoop::None) {
        if (recipe.loopLength == 0 || recipe.loopStart + recipe.loopLength > recipe.length) {
            error = where + "the loop must lie inside the sample's length";
            return false;
        }
    } else if (recipe.length == 0) {
        error = where + "needs a length";
        return false;
    }
    if (recipe.layers.empty()) {
        error = where + "has no layers (tone, noise or fm)";
        return false;
    }
    return true;
}

bool buildInstrument(const InstrumentSource& source, XmInstrument& instrument, std::string& error) {
    instrument.name = source.name;
    instrument.volumeEnvelope = toEnvelope(source.volumeEnvelope);
    instrument.panningEnvelope = toEnvelope(source.panningEnvelope);
    instrument.fadeout = source.fadeout;
    instrument.vibratoType = source.vibratoType;
    instrument.vibratoSweep = source.vibratoSweep;
    instrument.vibratoDepth = source.vibratoDepth;
    instrument.vibratoRate = source.vibratoRate;
    for (size_t s = 0; s < source.samples.size(); ++s) {
        const SampleRecipe& recipe = source.samples[s];
        if (!checkRecipe(source, recipe, error)) return false;
        RenderedSample rendered = renderSample(recipe);
        XmSample sample;
        sample.name = recipe.name;
        sample.bits = recipe.bits;
        sample.data = std::move(rendered.data);
        sample.loop = recipe.loop == SampleLoop::Forward    ? XmLoop::Forward
                      : recipe.loop == SampleLoop::PingPong ? XmLoop::PingPong
                                                            : XmLoop::None;
        sample.loopStart = recipe.loop == SampleLoop::None ? 0 : recipe.loopStart;
        sample.loopLength = recipe.loop == SampleLoop::None ? 0 : recipe.loopLength;
        sample.volume = recipe.volume;
        sample.panning = recipe.panning;
        sample.relativeNote = rendered.relativeNote;
        sample.finetune = rendered.finetune;
        instrument.samples.push_back(std::move(sample));
        // Later samples win where key ranges overlap.
        for (int note = recipe.lowKey; note <= recipe.highKey; ++note) instrument.sampleMap[note - 1] = uint8_t(s);
    }
    return true;
}

int findInstrument(const SongSource& source, const std::string& name) {
    for (size_t i = 0; i < source.instruments.size(); ++i)
        if (source.instruments[i].name == name) return int(i) + 1;
    return 0;
}

bool buildPattern(const SongSource& source, const PatternSource& pattern, XmPattern& out, std::string& error) {
    out = XmPattern::empty(pattern.rows, source.channels);
    for (const ChannelPart& part : pattern.parts) {
        if (part.channel < 0 || part.channel >= source.channels) {
            error =
                "pattern '" + pattern.name + "' uses a channel beyond the song's " + std::to_string(source.channels);
            return false;
        }
        for (size_t row = 0; row < part.rows.size() && row < pattern.rows; ++row) {
            const SongCell& cell = part.rows[row];
            XmCell& target = out.at(uint16_t(row), uint16_t(part.channel), source.channels);
            target.note = cell.note;
            target.volume = cell.volume;
            target.effect = cell.effect;
            target.param = cell.param;
            if (!cell.instrumentName.empty() && !cell.noInstrument) {
                int instrument = findInstrument(source, cell.instrumentName);
                if (instrument == 0) {
                    error = "pattern '" + pattern.name + "' plays unknown instrument '" + cell.instrumentName + "'";
                    return false;
                }
                target.instrument = uint8_t(instrument);
            } else if (cell.note >= 1 && cell.note <= 96 && !cell.noInstrument) {
                error = "pattern '" + pattern.name + "' channel " + std::to_string(part.channel + 1) + " row " +
                        std::to_string(row) + ": a note without an instrument (give the phrase @instrument)";
                return false;
            }
        }
    }
    return true;
}

}  // namespace

bool buildSong(const SongSource& source, XmSong& song, std::string& error) {
    song = XmSong{};
    song.name = source.name;
    song.tracker = "songgen";
    song.channels = source.channels;
    song.speed = source.speed;
    song.tempo = source.tempo;
    song.restart = source.restart;
    song.flags = 1;
    if (source.instruments.size() > 128 || source.patterns.size() > 256 || source.order.size() > 256 ||
        source.order.empty()) {
        error = "a song has 1..256 orders, at most 256 patterns and 128 instruments";
        return false;
    }
    for (const std::string& name : source.order) {
        size_t index = 0;
        while (index < source.patterns.size() && source.patterns[index].name != name) ++index;
        if (index == source.patterns.size()) {
            error = "the order names unknown pattern '" + name + "'";
            return false;
        }
        song.orders.push_back(uint8_t(index));
    }
    if (song.restart >= song.orders.size()) {
        error = "the restart position lies beyond the order list";
        return false;
    }
    for (const InstrumentSource& source_instrument : source.instruments) {
        song.instruments.push_back({});
        if (!buildInstrument(source_instrument, song.instruments.back(), error)) return false;
    }
    for (const PatternSource& pattern : source.patterns) {
        song.patterns.push_back({});
        if (!buildPattern(source, pattern, song.patterns.back(), error)) return false;
    }
    return true;
}
