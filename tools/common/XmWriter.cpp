#include "tools/common/XmWriter.h"

#include <algorithm>
#include <cstdlib>

namespace {

struct Out {
    std::vector<uint8_t> bytes;

    void u8(uint32_t value) { bytes.push_back(uint8_t(value)); }
    void u16(uint32_t value) {
        u8(value);
        u8(value >> 8);
    }
    void u32(uint32_t value) {
        u16(value);
        u16(value >> 16);
    }
    void zeros(size_t count) { bytes.insert(bytes.end(), count, 0); }
    // Writes text padded with zeros (or cut) to exactly width bytes.
    void text(const std::string& value, size_t width) {
        for (size_t i = 0; i < width; ++i) u8(i < value.size() ? uint8_t(value[i]) : 0);
    }
    void patch32(size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(value >> (8 * i));
    }
    void patch16(size_t at, uint32_t value) {
        bytes[at] = uint8_t(value);
        bytes[at + 1] = uint8_t(value >> 8);
    }
};

// One cell in the packed form: a mask byte naming the present fields, then those fields; a cell
// with all five fields present is stored unpacked (5 plain bytes).
void packCell(Out& out, const XmCell& cell) {
    const uint8_t fields[5] = {cell.note, cell.instrument, cell.volume, cell.effect, cell.param};
    uint8_t mask = 0x80;
    for (int i = 0; i < 5; ++i)
        if (fields[i] != 0) mask |= uint8_t(1 << i);
    if (mask == 0x9F && cell.note < 0x80) {
        for (uint8_t field : fields) out.u8(field);
        return;
    }
    out.u8(mask);
    for (int i = 0; i < 5; ++i)
        if (fields[i] != 0) out.u8(fields[i]);
}

void writePattern(Out& out, const XmPattern& pattern, uint16_t channels, uint16_t version, uint32_t extraHeader) {
    bool byteRows = version == 0x0102;
    out.u32((byteRows ? 8 : 9) + extraHeader);
    out.u8(0);  // packing type
    if (byteRows)
        out.u8(pattern.rows - 1u);
    else
        out.u16(pattern.rows);
    size_t sizeAt = out.bytes.size();
    out.u16(0);
    out.zeros(extraHeader);

    size_t cellCount = size_t(pattern.rows) * channels;
    bool anyNote = false;
    for (size_t i = 0; i < cellCount && i < pattern.cells.size(); ++i) {
        const XmCell& c = pattern.cells[i];
        if (c.note || c.instrument || c.volume || c.effect || c.param) anyNote = true;
    }
    if (!anyNote) return;  // packed size 0: an empty pattern

    size_t dataAt = out.bytes.size();
    for (size_t i = 0; i < cellCount; ++i) packCell(out, i < pattern.cells.size() ? pattern.cells[i] : XmCell{});
    out.patch16(sizeAt, uint32_t(out.bytes.size() - dataAt));
}

void writeEnvelopePoints(Out& out, const XmEnvelope& envelope) {
    for (size_t i = 0; i < 12; ++i) {
        XmEnvelopePoint point = i < envelope.points.size() ? envelope.points[i] : XmEnvelopePoint{};
        out.u16(point.x);
        out.u16(point.y);
    }
}

uint8_t pointCount(const XmEnvelope& envelope) { return uint8_t(std::min<size_t>(envelope.points.size(), 12)); }

uint32_t bytesPerValue(const XmSample& sample) { return sample.bits == 16 ? 2 : 1; }

bool packed(const XmSample& sample) { return sample.adpcm && sample.bits == 8; }

void writeSampleHeader(Out& out, const XmSample& sample, uint32_t extraHeader) {
    uint32_t scale = bytesPerValue(sample);
    out.u32(uint32_t(sample.data.size()) * scale);
    out.u32(sample.loopStart * scale);
    out.u32(sample.loopLength * scale);
    out.u8(sample.volume);
    out.u8(uint8_t(sample.finetune));
    out.u8(uint8_t(sample.loop) | (sample.bits == 16 ? 0x10 : 0));
    out.u8(sample.panning);
    out.u8(uint8_t(sample.relativeNote));
    out.u8(packed(sample) ? 0xAD : 0);  // reserved; 0xAD marks 4-bit packed data
    out.text(sample.name, 22);
    out.zeros(extraHeader);
}

// Each value becomes the step that brings the previous (reconstructed) value nearest to it.
std::vector<uint8_t> adpcmNibbles(const XmSample& sample, std::vector<int16_t>* decoded) {
    std::vector<uint8_t> nibbles;
    int8_t value = 0;
    for (int16_t target : sample.data) {
        int best = 0;
        int bestError = 1 << 30;
        for (int n = 0; n < 16; ++n) {
            int error = std::abs(int(int8_t(uint8_t(value + sample.adpcmSteps[n]))) - target);
            if (error < bestError) best = n, bestError = error;
        }
        value = int8_t(uint8_t(value + sample.adpcmSteps[best]));
        nibbles.push_back(uint8_t(best));
        if (decoded) decoded->push_back(value);
    }
    return nibbles;
}

// 4-bit packed data: the 16 steps, then two nibbles per byte, the first value in the low one.
void writePackedSampleData(Out& out, const XmSample& sample) {
    for (int8_t step : sample.adpcmSteps) out.u8(uint8_t(step));
    std::vector<uint8_t> nibbles = adpcmNibbles(sample, nullptr);
    for (size_t i = 0; i < nibbles.size(); i += 2)
        out.u8(nibbles[i] | (i + 1 < nibbles.size() ? nibbles[i + 1] << 4 : 0));
}

// Sample data, delta-coded: each stored value is the difference to the previous plain value.
void writeSampleData(Out& out, const XmSample& sample) {
    if (packed(sample)) return writePackedSampleData(out, sample);
    int32_t previous = 0;
    for (int16_t value : sample.data) {
        uint32_t delta = uint32_t(int32_t(value) - previous);
        previous = value;
        if (sample.bits == 16)
            out.u16(delta);
        else
            out.u8(delta);
    }
}

// The instrument header and its sample headers.
void writeInstrumentHeaders(Out& out, const XmInstrument& instrument, const XmSong& song) {
    size_t sampleCount = std::min<size_t>(instrument.samples.size(), 0xFFFF);
    size_t start = out.bytes.size();
    out.u32(0);  // header size, patched below
    out.text(instrument.name, 22);
    out.u8(0);  // type
    out.u16(uint32_t(sampleCount));
    if (sampleCount == 0) {
        out.patch32(start, uint32_t(out.bytes.size() - start));
        return;
    }
    out.u32(40 + song.extraSampleHeader);
    for (uint8_t entry : instrument.sampleMap) out.u8(entry);
    writeEnvelopePoints(out, instrument.volumeEnvelope);
    writeEnvelopePoints(out, instrument.panningEnvelope);
    const XmEnvelope& v = instrument.volumeEnvelope;
    const XmEnvelope& p = instrument.panningEnvelope;
    out.u8(pointCount(v));
    out.u8(pointCount(p));
    out.u8(v.sustain);
    out.u8(v.loopStart);
    out.u8(v.loopEnd);
    out.u8(p.sustain);
    out.u8(p.loopStart);
    out.u8(p.loopEnd);
    out.u8(v.type);
    out.u8(p.type);
    out.u8(instrument.vibratoType);
    out.u8(instrument.vibratoSweep);
    out.u8(instrument.vibratoDepth);
    out.u8(instrument.vibratoRate);
    out.u16(instrument.fadeout);
    out.zeros(22);  // reserved
    out.zeros(song.extraInstrumentHeader);
    out.patch32(start, uint32_t(out.bytes.size() - start));

    for (size_t i = 0; i < sampleCount; ++i) writeSampleHeader(out, instrument.samples[i], song.extraSampleHeader);
}

void writeInstrumentData(Out& out, const XmInstrument& instrument) {
    size_t sampleCount = std::min<size_t>(instrument.samples.size(), 0xFFFF);
    for (size_t i = 0; i < sampleCount; ++i) writeSampleData(out, instrument.samples[i]);
}

}  // namespace

XmPattern XmPattern::empty(uint16_t rows, uint16_t channels) {
    XmPattern pattern;
    pattern.rows = rows;
    pattern.cells.assign(size_t(rows) * channels, XmCell{});
    return pattern;
}

XmCell& XmPattern::at(uint16_t row, uint16_t channel, uint16_t channels) {
    return cells[size_t(row) * channels + channel];
}

std::vector<int16_t> adpcmRoundTrip(const XmSample& sample) {
    std::vector<int16_t> decoded;
    adpcmNibbles(sample, &decoded);
    return decoded;
}

std::vector<uint8_t> writeXm(const XmSong& song) {
    Out out;
    out.text("Extended Module: ", 17);
    out.text(song.name, 20);
    out.u8(0x1A);
    out.text(song.tracker, 20);
    out.u16(song.version);

    size_t orderCount = std::min<size_t>(song.orders.size(), 256);
    out.u32(276);  // header size, counted from this field
    out.u16(uint32_t(orderCount));
    out.u16(song.restart);
    out.u16(song.channels);
    out.u16(uint32_t(song.patterns.size()));
    out.u16(uint32_t(song.instruments.size()));
    out.u16(song.flags);
    out.u16(song.speed);
    out.u16(song.tempo);
    for (size_t i = 0; i < 256; ++i) out.u8(i < orderCount ? song.orders[i] : 0);

    auto patterns = [&] {
        for (const XmPattern& pattern : song.patterns)
            writePattern(out, pattern, song.channels, song.version, song.extraPatternHeader);
    };
    if (song.version >= 0x0104) {
        patterns();
        for (const XmInstrument& instrument : song.instruments) {
            writeInstrumentHeaders(out, instrument, song);
            writeInstrumentData(out, instrument);
        }
    } else {
        for (const XmInstrument& instrument : song.instruments) writeInstrumentHeaders(out, instrument, song);
        patterns();
        for (const XmInstrument& instrument : song.instruments) writeInstrumentData(out, instrument);
    }
    return out.bytes;
}

XmSong silentTimelineSong() {
    XmSong song;
    song.channels = 2;
    song.speed = 2;
    song.tempo = 125;
    for (uint8_t order = 0; order < 10; ++order) song.orders.push_back(order);
    for (uint16_t pattern = 0; pattern < 10; ++pattern) song.patterns.push_back(XmPattern::empty(64, 2));
    return song;
}
