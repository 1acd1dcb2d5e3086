#include "tools/xm/XmWriter.h"

#include <algorithm>

namespace {

struct Out {
    std::vector<uint8_t> bytes;

    void u8(uint32_t value) { bytes.push_back(uint8_t(value)); }
    void u16(uint32_t value) { u8(value); u8(value >> 8); }
    void u32(uint32_t value) { u16(value); u16(value >> 16); }
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

void writePattern(Out& out, const XmPattern& pattern, uint16_t channels, uint32_t extraHeader) {
    out.u32(9 + extraHeader);
    out.u8(0);  // packing type
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

uint8_t pointCount(const XmEnvelope& envelope) {
    return uint8_t(std::min<size_t>(envelope.points.size(), 12));
}

uint32_t bytesPerValue(const XmSample& sample) { return sample.bits == 16 ? 2 : 1; }

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
    out.u8(0);  // reserved
    out.text(sample.name, 22);
    out.zeros(extraHeader);
}

// Sample data, delta-coded: each stored value is the difference to the previous plain value.
void writeSampleData(Out& out, const XmSample& sample) {
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

void writeInstrument(Out& out, const XmInstrument& instrument, const XmSong& song) {
    size_t sampleCount = std::min<size_t>(instrument.samples.size(), 16);
    size_t start = out.bytes.size();
    out.u32(0);  // header size, patched below
    out.text(instrument.name, 22);
    out.u8(0);   // type
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

std::vector<uint8_t> writeXm(const XmSong& song) {
    Out out;
    out.text("Extended Module: ", 17);
    out.text(song.name, 20);
    out.u8(0x1A);
    out.text(song.tracker, 20);
    out.u16(0x0104);

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

    for (const XmPattern& pattern : song.patterns) writePattern(out, pattern, song.channels, song.extraPatternHeader);
    for (const XmInstrument& instrument : song.instruments) writeInstrument(out, instrument, song);
    return out.bytes;
}
