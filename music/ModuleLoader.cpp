#include "music/ModuleLoader.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "music/AudioOutput.h"
#include "music/Effects.h"
#include "music/ModuleStream.h"
#include "music/Sequencer.h"
#include "music/XmRecords.h"

namespace {

constexpr uint32_t GuardSlots = 8;                    // zero slots after the data (the guard slot among them)
constexpr uint32_t LeadSlots = 4;                     // zero slots before the data
constexpr uint32_t MaxSampleValues = (1u << 24) - 1;  // the mixer's boundary arithmetic limit
constexpr int SeekFromStart = 0;                      // ModuleStream seek origins
constexpr int SeekFromEnd = 2;

// The reason for a failed load, formatted; valid until the next failed load on the same thread.
thread_local char errorText[160];

// Formats the reason into error and returns false, so a check reads `return fail(error, ...)`.
bool fail(const char*& error, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(errorText, sizeof errorText, format, arguments);
    va_end(arguments);
    error = errorText;
    return false;
}

Sample sharedEmptySample{};

// The loader's view of the stream: the handle plus little-endian field readers. A read past the
// end leaves the destination as it was (zero in the zero-filled records).
struct Reader {
    const ModuleStream* ops;
    void* handle;
    uint32_t size;

    void bytes(void* destination, uint32_t count) { ops->read(destination, count, handle); }
    uint8_t u8() {
        uint8_t value = 0;
        bytes(&value, 1);
        return value;
    }
    uint16_t u16() {
        uint8_t b[2] = {0, 0};
        bytes(b, 2);
        return uint16_t(b[0] | (b[1] << 8));
    }
    uint32_t u32() {
        uint8_t b[4] = {0, 0, 0, 0};
        bytes(b, 4);
        return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
    }
    uint32_t tell() { return ops->tell(handle); }
    void seekTo(uint64_t position) {
        if (position > size) position = size;
        ops->seek(handle, int32_t(position), SeekFromStart);
    }
    void skip(uint64_t count) { seekTo(uint64_t(tell()) + count); }
    // Moves past the rest of a record that began at start and holds recordSize bytes.
    void endRecord(uint32_t start, uint64_t recordSize) { seekTo(uint64_t(start) + recordSize); }
    uint32_t remaining() {
        uint32_t at = tell();
        return at < size ? size - at : 0;
    }
};

void freeSample(Sample* sample) {
    if (!sample || sample == &sharedEmptySample) return;
    std::free(sample->allocation);
    std::free(sample);
}

void freeParts(Module* module) {
    if (module->instruments) {
        for (int i = 0; i < module->instrumentCount; ++i) {
            Instrument& instrument = module->instruments[i];
            for (uint32_t s = 0; s < instrument.sampleCount && s < MaxInstrumentSamples; ++s)
                freeSample(instrument.samples[s]);
        }
        std::free(module->instruments);
    }
    if (module->patterns) {
        for (uint32_t p = 0; p < module->patternSlots; ++p) std::free(module->patterns[p].cells);
        std::free(module->patterns);
    }
    std::free(module);
}

// ---- Song header ----------------------------------------------------------------------------

XmSongHeader readSongHeader(Reader& in) {
    XmSongHeader header{};
    in.seekTo(0);
    in.bytes(header.signature, XmSignatureBytes);
    in.seekTo(XmVersionAt);  // past the song name, 0x1A and the tracker name
    header.version = in.u16();
    header.headerSize = in.u32();
    header.songLength = in.u16();
    header.restart = in.u16();
    header.channels = in.u16();
    header.patterns = in.u16();
    header.instruments = in.u16();
    header.flags = in.u16();
    header.speed = in.u16();
    header.tempo = in.u16();
    in.bytes(header.orders, XmMaxOrders);
    return header;
}

bool checkSongHeader(const XmSongHeader& header, const char*& error) {
    if (std::memcmp(header.signature, XmSignature, XmSignatureBytes) != 0) return fail(error, "not an Extended Module");
    if (header.version < XmOldestVersion || header.version > XmInterleavedVersion)
        return fail(error, "XM version 0x%04X is not supported", unsigned(header.version));
    if (header.songLength > XmMaxOrders) return fail(error, "song length above %u", XmMaxOrders);
    if (header.channels == 0 || header.channels > MaxChannels)
        return fail(error, "channel count outside 1..%d", MaxChannels);
    if (header.patterns > XmMaxPatterns) return fail(error, "more than %u patterns", XmMaxPatterns);
    if (header.instruments > XmMaxInstruments) return fail(error, "more than %u instruments", XmMaxInstruments);
    if (header.tempo == 0) return fail(error, "tempo 0");
    return true;
}

// A header stored shorter than the full order table holds only its first headerSize - 20
// entries; what the table read past that is pattern data, not part of the song.
uint32_t storedOrders(const XmSongHeader& header) {
    if (header.headerSize < XmFieldsBeforeOrders) return 0;
    uint32_t stored = header.headerSize - XmFieldsBeforeOrders;
    return stored < XmMaxOrders ? stored : XmMaxOrders;
}

void applySongHeader(const XmSongHeader& header, Module* module) {
    uint32_t stored = storedOrders(header);
    uint16_t songLength = header.songLength < stored ? header.songLength : uint16_t(stored);
    std::memcpy(module->orderTable, header.orders, stored);
    module->songLength = int16_t(songLength);
    // An order index past the song would leave the order table.
    module->restartPosition = int16_t(header.restart < songLength ? header.restart : 0);
    module->channels = int16_t(header.channels);
    module->instrumentCount = int16_t(header.instruments);
    module->flags = header.flags;
    module->defaultSpeed = int16_t(header.speed > XmMaxSpeedOrTempo ? XmMaxSpeedOrTempo : header.speed);
    module->defaultTempo = int16_t(header.tempo > XmMaxSpeedOrTempo ? XmMaxSpeedOrTempo : header.tempo);
    module->tickHandler = Sequencer::tick;
    module->initialGlobalVolume = 64;
}

// ---- Patterns -------------------------------------------------------------------------------

void unpackCell(Reader& in, NoteCell& cell) {
    uint8_t first = in.u8();
    if (first & XmCellPacked) {
        if (first & XmCellNote) cell.note = in.u8();
        if (first & XmCellInstrument) cell.instrument = in.u8();
        if (first & XmCellVolume) cell.volume = in.u8();
        if (first & XmCellEffect) cell.effect = in.u8();
        if (first & XmCellParam) cell.param = in.u8();
    } else {
        cell.note = first;
        cell.instrument = in.u8();
        cell.volume = in.u8();
        cell.effect = in.u8();
        cell.param = in.u8();
    }
    if (cell.note == XmKeyOffNote) cell.note = NoteKeyOff;
    if (cell.instrument > XmMaxInstruments) cell.instrument = 0;
}

NoteCell* allocateCells(uint32_t rows, int channels) {
    size_t count = size_t(rows) * size_t(channels);
    return static_cast<NoteCell*>(std::calloc(count ? count : 1, sizeof(NoteCell)));
}

// Files from other trackers may store a longer pattern header; whatever lies past the bytes
// read is skipped. A standard (or shorter) length reads exactly those bytes.
XmPatternHeader readPatternHeader(Reader& in, uint16_t version) {
    XmPatternHeader header{};
    bool byteRows = storesByteRowCounts(version);
    header.headerLength = in.u32();
    header.packing = in.u8();
    header.rows = byteRows ? in.u8() + 1u : in.u16();
    header.packedSize = in.u16();
    uint32_t headerRead = byteRows ? XmPatternHeaderBytes - 1 : XmPatternHeaderBytes;
    if (header.headerLength > headerRead) in.skip(header.headerLength - headerRead);
    return header;
}

bool readPattern(Reader& in, Module* module, uint32_t index, uint16_t version, const char*& error) {
    XmPatternHeader header = readPatternHeader(in, version);
    if (header.rows > XmMaxRows)
        return fail(error, "pattern %u has %u rows (at most %u)", index, header.rows, XmMaxRows);
    Pattern& pattern = module->patterns[index];
    pattern.rows = header.rows;
    pattern.cells = allocateCells(header.rows, module->channels);
    if (header.packedSize == 0) return true;
    uint32_t cellCount = header.rows * uint32_t(module->channels);
    for (uint32_t c = 0; c < cellCount; ++c) unpackCell(in, pattern.cells[c]);
    return true;
}

// Slots for every pattern stored or named by an order of the song.
void allocatePatterns(Module* module, uint32_t stored) {
    uint32_t referenced = 0;
    for (int i = 0; i < module->songLength; ++i)
        if (uint32_t(module->orderTable[i]) + 1 > referenced) referenced = module->orderTable[i] + 1u;
    module->referencedPatterns = referenced;
    module->patternSlots = stored > referenced ? stored : referenced;
    uint32_t slots = module->patternSlots ? module->patternSlots : 1;
    module->patterns = static_cast<Pattern*>(std::calloc(slots, sizeof(Pattern)));
}

bool readPatterns(Reader& in, Module* module, const XmSongHeader& song, const char*& error) {
    allocatePatterns(module, song.patterns);
    for (uint32_t p = 0; p < song.patterns; ++p)
        if (!readPattern(in, module, p, song.version, error)) return false;
    for (uint32_t p = song.patterns; p < module->referencedPatterns; ++p) {
        module->patterns[p].rows = XmUnstoredPatternRows;
        module->patterns[p].cells = allocateCells(XmUnstoredPatternRows, module->channels);
    }
    return true;
}

// ---- Instruments ----------------------------------------------------------------------------

void readEnvelopePoints(Reader& in, EnvelopePoint* points) {
    for (uint32_t i = 0; i < XmEnvelopePoints; ++i) {
        points[i].x = in.u16();
        uint16_t y = in.u16();
        points[i].y = y > XmEnvelopeTop ? XmEnvelopeTop : y;
    }
}

// Keeps an envelope's point count and point indices inside its points; fewer than 2 points
// turn it off.
void boundEnvelope(uint8_t& count, uint8_t& sustain, uint8_t& loopStart, uint8_t& loopEnd, uint8_t& type) {
    if (count > XmEnvelopePoints) count = XmEnvelopePoints;
    if (count < 2) type = 0;
    if (sustain >= count) type &= uint8_t(~EnvelopeSustain);
    if (loopStart >= count || loopEnd >= count) type &= uint8_t(~EnvelopeLoop);
}

static_assert(sizeof(Instrument::sampleMap) == XmMappedNotes, "one map entry for each stored note");
static_assert(sizeof(Instrument::volumePoints) == XmEnvelopePoints * sizeof(EnvelopePoint), "every stored point");

// The part of an instrument header after the sample header size, in file order.
void readInstrumentBody(Reader& in, Instrument& instrument) {
    in.bytes(instrument.sampleMap, XmMappedNotes);
    readEnvelopePoints(in, instrument.volumePoints);
    readEnvelopePoints(in, instrument.panningPoints);
    instrument.volumePointCount = in.u8();
    instrument.panningPointCount = in.u8();
    instrument.volumeSustain = in.u8();
    instrument.volumeLoopStart = in.u8();
    instrument.volumeLoopEnd = in.u8();
    instrument.panningSustain = in.u8();
    instrument.panningLoopStart = in.u8();
    instrument.panningLoopEnd = in.u8();
    instrument.volumeType = in.u8();
    instrument.panningType = in.u8();
    instrument.vibratoType = in.u8();
    instrument.vibratoSweep = in.u8();
    instrument.vibratoDepth = in.u8();
    instrument.vibratoRate = in.u8();
    instrument.fadeout = uint32_t(in.u16()) * 2;
    boundEnvelope(instrument.volumePointCount, instrument.volumeSustain, instrument.volumeLoopStart,
                  instrument.volumeLoopEnd, instrument.volumeType);
    boundEnvelope(instrument.panningPointCount, instrument.panningSustain, instrument.panningLoopStart,
                  instrument.panningLoopEnd, instrument.panningType);
}

// Reads an instrument header into header and (when it has samples) instrument, leaving the
// stream at the first sample header.
XmInstrumentHeader readInstrumentHeader(Reader& in, Instrument& instrument) {
    XmInstrumentHeader header{};
    uint32_t start = in.tell();
    header.headerSize = in.u32();
    in.skip(XmInstrumentNameBytes);
    header.type = in.u8();
    header.sampleCount = in.u16();
    if (header.sampleCount > 0) {
        header.sampleHeaderSize = in.u32();
        readInstrumentBody(in, instrument);
    }
    in.endRecord(start, header.headerSize);
    return header;
}

// Every sample header takes at least the bytes read, so the file bounds the count.
bool checkSampleCount(Reader& in, const XmInstrumentHeader& header, int index, const char*& error) {
    uint32_t count = header.sampleCount;
    uint32_t headerBytes = std::max(header.sampleHeaderSize, XmSampleHeaderBytes);
    if (uint64_t(count) * headerBytes > in.remaining())
        return fail(error, "instrument %d has %u samples, more than the file holds", index + 1, count);
    if (count > MaxInstrumentSamples)
        return fail(error, "instrument %d has %u samples (at most %u)", index + 1, count, MaxInstrumentSamples);
    return true;
}

// ---- Samples --------------------------------------------------------------------------------

void setNoLoop(Sample& sample) {
    sample.loopMode = LoopNone;
    sample.loopStart = 0;
    sample.loopLength = sample.length;
}

// Reads one sample header; a stored header size beyond the bytes read is skipped.
XmSampleHeader readSampleHeader(Reader& in, uint32_t storedHeaderSize) {
    XmSampleHeader header{};
    header.length = in.u32();
    header.loopStart = in.u32();
    header.loopLength = in.u32();
    header.volume = in.u8();
    header.finetune = int8_t(in.u8());
    header.type = in.u8();
    header.panning = in.u8();
    header.relativeNote = int8_t(in.u8());
    header.reserved = in.u8();
    in.skip(XmSampleNameBytes);
    if (storedHeaderSize > XmSampleHeaderBytes) in.skip(storedHeaderSize - XmSampleHeaderBytes);
    return header;
}

uint8_t loopModeOf(uint8_t type) {
    if (type & XmSampleLoopPingPong) return LoopPingPong;
    if (type & XmSampleLoopForward) return LoopForward;
    return LoopNone;
}

// A new sample from its header, lengths and loop in values. An 8-bit sample whose reserved byte
// is XmAdpcmMark is stored 4-bit packed: it leaves here with bits 4.
Sample* decodeSampleHeader(const XmSampleHeader& header) {
    Sample* sample = static_cast<Sample*>(std::calloc(1, sizeof(Sample)));
    sample->length = header.length;
    sample->loopStart = header.loopStart;
    sample->loopLength = header.loopLength;
    sample->volume = header.volume;
    sample->finetune = header.finetune;
    sample->loopMode = loopModeOf(header.type);
    sample->bits = (header.type & XmSample16Bit) ? 16 : 8;
    sample->panning = header.panning;
    sample->relativeNote = header.relativeNote;
    if (sample->loopMode == LoopNone) setNoLoop(*sample);
    if (sample->bits == 16) {
        sample->length /= 2;
        sample->loopStart /= 2;
        sample->loopLength /= 2;
    }
    if (sample->loopLength == 0) setNoLoop(*sample);
    if (header.reserved == XmAdpcmMark && sample->bits == 8) sample->bits = 4;
    return sample;
}

// Bytes a sample's data takes in the file, and how many of its values the given bytes hold.
uint64_t storedBytes(const Sample& sample, uint64_t values) {
    if (sample.bits == 4) return XmAdpcmTableBytes + (values + 1) / 2;
    return values * (sample.bits / 8);
}

uint32_t valuesIn(const Sample& sample, uint32_t bytes) {
    if (sample.bits == 4) return bytes < XmAdpcmTableBytes ? 0 : (bytes - XmAdpcmTableBytes) * 2;
    return bytes / (sample.bits / 8);
}

// Keeps the loop inside the data; without one the sample loops over its whole length.
void boundLoop(Sample& sample) {
    if (sample.loopMode == LoopNone || sample.loopStart >= sample.length)
        setNoLoop(sample);
    else if (sample.loopLength > sample.length - sample.loopStart)
        sample.loopLength = sample.length - sample.loopStart;
}

void unpackAdpcm(Reader& in, Sample& sample) {
    int8_t steps[XmAdpcmTableBytes] = {};
    in.bytes(steps, XmAdpcmTableBytes);
    uint8_t value = 0;
    for (uint32_t i = 0; i < sample.length; i += 2) {
        uint8_t packed = in.u8();
        value = uint8_t(value + steps[packed & 15]);
        sample.data[i] = int16_t(uint16_t(value) << 8);
        if (i + 1 == sample.length) break;
        value = uint8_t(value + steps[packed >> 4]);
        sample.data[i + 1] = int16_t(uint16_t(value) << 8);
    }
}

// Plain data, widened to 16 bits and summed: each stored value is the change from the one before.
void readDeltas(Reader& in, Sample& sample) {
    if (sample.bits == 16) {
        for (uint32_t i = 0; i < sample.length; ++i) sample.data[i] = int16_t(in.u16());
    } else {
        for (uint32_t i = 0; i < sample.length; ++i) sample.data[i] = int16_t(uint16_t(in.u8()) << 8);
    }
    uint16_t sum = 0;
    for (uint32_t i = 0; i < sample.length; ++i) {
        sum = uint16_t(sum + uint16_t(sample.data[i]));
        sample.data[i] = int16_t(sum);
    }
}

// Allocates and fills the data of a sample of length above 0, and writes the guard slot.
void decodeSampleData(Reader& in, Sample& sample) {
    sample.allocation = static_cast<int16_t*>(std::calloc(LeadSlots + sample.length + GuardSlots, sizeof(int16_t)));
    sample.data = sample.allocation + LeadSlots;
    if (sample.bits == 4)
        unpackAdpcm(in, sample);
    else
        readDeltas(in, sample);
    uint32_t loopEnd = sample.loopStart + sample.loopLength;
    if (sample.loopMode == LoopPingPong)
        sample.data[loopEnd] = sample.data[loopEnd - 1];
    else if (sample.loopMode == LoopForward)
        sample.data[loopEnd] = sample.data[sample.loopStart];
}

// Reads one sample's data, bounded by the bytes left in the image and by MaxSampleValues. Data
// cut short by the end of the image is kept as far as it goes when mayEndShort; otherwise the
// load fails, since more of the file was still to come.
bool readSampleData(Reader& in, Sample& sample, bool mayEndShort, const char*& error) {
    uint32_t at = in.tell();
    uint32_t available = valuesIn(sample, in.remaining());
    uint32_t storedLength = sample.length;
    if (sample.length > available) {
        if (!mayEndShort) return fail(error, "sample data runs past the end of the file at offset %u", at);
        sample.length = available;
    }
    if (sample.length > MaxSampleValues) sample.length = MaxSampleValues;
    boundLoop(sample);
    if (sample.length > 0) decodeSampleData(in, sample);
    // A stored length beyond the image was cut above; skip what was claimed but is not there.
    in.endRecord(at, storedBytes(sample, storedLength));
    sample.bits = 16;
    return true;
}

// ---- Instruments with their samples ---------------------------------------------------------

// Reads instrument index's headers and its sample headers, leaving the stream after them.
bool readInstrumentHeaders(Reader& in, Module* module, int index, const char*& error) {
    Instrument& instrument = module->instruments[index];
    for (Sample*& entry : instrument.samples) entry = &sharedEmptySample;
    XmInstrumentHeader header = readInstrumentHeader(in, instrument);
    if (header.sampleCount == 0) return true;
    if (!checkSampleCount(in, header, index, error)) return false;
    instrument.sampleCount = header.sampleCount;
    for (uint32_t s = 0; s < instrument.sampleCount; ++s)
        instrument.samples[s] = decodeSampleHeader(readSampleHeader(in, header.sampleHeaderSize));
    return true;
}

bool hasSampleData(const Instrument& instrument) {
    for (uint32_t s = 0; s < instrument.sampleCount; ++s)
        if (instrument.samples[s]->length > 0) return true;
    return false;
}

// Reads the data of every sample of instrument index, in header order. Only the last instrument
// holding data may be cut short by the end of the image.
bool readInstrumentData(Reader& in, Module* module, int index, bool last, const char*& error) {
    Instrument& instrument = module->instruments[index];
    for (uint32_t s = 0; s < instrument.sampleCount; ++s) {
        Sample& sample = *instrument.samples[s];
        if (sample.length == 0) {
            sample.bits = 16;
            continue;
        }
        if (!readSampleData(in, sample, last, error)) return false;
    }
    return true;
}

bool allocateInstruments(Module* module) {
    int count = module->instrumentCount;
    module->instruments = static_cast<Instrument*>(std::calloc(count ? count : 1, sizeof(Instrument)));
    return module->instruments != nullptr;
}

// Version 0x0104: each instrument's headers, then its sample data.
bool readInstruments(Reader& in, Module* module, const char*& error) {
    allocateInstruments(module);
    for (int i = 0; i < module->instrumentCount; ++i) {
        if (!readInstrumentHeaders(in, module, i, error)) return false;
        if (!readInstrumentData(in, module, i, i + 1 == module->instrumentCount, error)) return false;
    }
    return true;
}

int lastInstrumentWithData(const Module* module) {
    int last = -1;
    for (int i = 0; i < module->instrumentCount; ++i)
        if (hasSampleData(module->instruments[i])) last = i;
    return last;
}

// Versions 0x0102 and 0x0103: all instrument headers, the patterns, then all sample data.
bool readSamplesLastLayout(Reader& in, Module* module, const XmSongHeader& song, const char*& error) {
    allocateInstruments(module);
    for (int i = 0; i < module->instrumentCount; ++i)
        if (!readInstrumentHeaders(in, module, i, error)) return false;
    if (!readPatterns(in, module, song, error)) return false;
    int lastWithData = lastInstrumentWithData(module);
    for (int i = 0; i < module->instrumentCount; ++i)
        if (!readInstrumentData(in, module, i, i >= lastWithData, error)) return false;
    return true;
}

bool parse(Reader& in, Module* module, const char*& error) {
    XmSongHeader song = readSongHeader(in);
    if (!checkSongHeader(song, error)) return false;
    applySongHeader(song, module);
    // The header size counts from its own field; what follows starts where it says, even when
    // that is before the end of the 256-byte order table.
    in.endRecord(XmHeaderSizeAt, song.headerSize);
    if (storesSamplesLast(song.version)) return readSamplesLastLayout(in, module, song, error);
    if (!readPatterns(in, module, song, error)) return false;
    return readInstruments(in, module, error);
}

// Reads a module from the installed stream; null (with the reason) when it cannot.
Module* loadFromStream(const ModuleStream& ops, const void* source, const char*& error) {
    void* handle = ops.open(source);
    if (!handle) {
        fail(error, "cannot open the module stream");
        return nullptr;
    }
    ops.seek(handle, 0, SeekFromEnd);
    Reader in{&ops, handle, ops.tell(handle)};
    ops.seek(handle, 0, SeekFromStart);

    Module* module = static_cast<Module*>(std::calloc(1, sizeof(Module)));
    bool ok = parse(in, module, error);
    ops.close(handle);
    if (ok) return module;
    freeParts(module);
    return nullptr;
}

}  // namespace

Sample* emptySample() { return &sharedEmptySample; }

Module* loadModule(const void* source, const char** error) {
    const char* reason = nullptr;
    Module* module = nullptr;
    if (!ModuleStream::installed())
        fail(reason, "no module stream installed");
    else
        module = loadFromStream(ModuleStream::current(), source, reason);
    if (!module && error) *error = reason;
    return module;
}

void freeModule(Module* module) {
    if (!module) return;
    if (module->output) AudioOutput::stop(module->output);
    freeParts(module);
}
