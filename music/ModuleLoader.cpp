#include "music/ModuleLoader.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "music/AudioOutput.h"
#include "music/ModuleStream.h"
#include "music/Sequencer.h"

namespace {

constexpr uint32_t GuardSlots = 8;        // zero slots after the data (the guard slot among them)
constexpr uint32_t LeadSlots = 4;         // zero slots before the data
constexpr uint32_t MaxSampleValues = (1u << 24) - 1;  // the mixer's boundary arithmetic limit
constexpr uint32_t PatternHeaderRead = 9;   // length, packing type, rows, packed size
constexpr uint32_t SampleHeaderRead = 40;   // the fields through the name
constexpr uint8_t AdpcmMark = 0xAD;         // reserved sample header byte of 4-bit packed samples
constexpr uint32_t AdpcmTableBytes = 16;    // the packed data's delta table

// Format versions read: 0x0104 stores each instrument's sample data right after its headers;
// 0x0102 and 0x0103 store every instrument header first, then the patterns, then all sample
// data; 0x0102 also keeps a pattern's row count in one byte, less one.
constexpr uint16_t OldestVersion = 0x0102;
constexpr uint16_t NewestVersion = 0x0104;

// Errors that name values are formatted here; the text stays valid until the next failed load
// on the same thread.
thread_local char errorText[160];

const char* formatError(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(errorText, sizeof errorText, format, arguments);
    va_end(arguments);
    return errorText;
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
        ops->seek(handle, int32_t(position), 0);
    }
    void skip(uint64_t count) { seekTo(uint64_t(tell()) + count); }
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

bool readHeader(Reader& in, Module* module, uint32_t& patternCount, const char*& error) {
    in.seekTo(60);
    uint32_t headerSize = in.u32();
    uint16_t songLength = in.u16();
    uint16_t restart = in.u16();
    uint16_t channels = in.u16();
    patternCount = in.u16();
    uint16_t instruments = in.u16();
    module->flags = in.u16();
    uint16_t speed = in.u16();
    uint16_t tempo = in.u16();
    in.bytes(module->orderTable, 256);

    if (songLength > 256) return error = "song length above 256", false;
    // A header stored shorter than the full order table holds only its first headerSize - 20
    // entries; what the table read past that is pattern data, not part of the song.
    if (headerSize < 276) {
        uint32_t stored = headerSize > 20 ? headerSize - 20 : 0;
        if (songLength > stored) songLength = uint16_t(stored);
        std::memset(module->orderTable + stored, 0, 256 - stored);
    }
    if (channels == 0 || channels > MaxChannels) return error = "channel count outside 1..32", false;
    if (patternCount > 256) return error = "more than 256 patterns", false;
    if (instruments > 128) return error = "more than 128 instruments", false;
    if (tempo == 0) return error = "tempo 0", false;
    module->songLength = int16_t(songLength);
    // An order index past the song would leave the order table.
    module->restartPosition = int16_t(restart < songLength ? restart : 0);
    module->channels = int16_t(channels);
    module->instrumentCount = int16_t(instruments);
    module->defaultSpeed = int16_t(speed > 255 ? 255 : speed);
    module->defaultTempo = int16_t(tempo > 255 ? 255 : tempo);

    // The header size counts from its own field; the patterns start where it says, even when
    // that is before the end of the 256-byte order table.
    in.seekTo(60 + uint64_t(headerSize));
    return true;
}

void unpackCell(Reader& in, NoteCell& cell) {
    uint8_t first = in.u8();
    if (first & 0x80) {
        if (first & 0x01) cell.note = in.u8();
        if (first & 0x02) cell.instrument = in.u8();
        if (first & 0x04) cell.volume = in.u8();
        if (first & 0x08) cell.effect = in.u8();
        if (first & 0x10) cell.param = in.u8();
    } else {
        if (first != 0) cell.note = first;
        cell.instrument = in.u8();
        cell.volume = in.u8();
        cell.effect = in.u8();
        cell.param = in.u8();
    }
    if (cell.note == 97) cell.note = 255;
    if (cell.instrument > 128) cell.instrument = 0;
}

NoteCell* allocateCells(uint32_t rows, int channels) {
    size_t count = size_t(rows) * size_t(channels);
    return static_cast<NoteCell*>(std::calloc(count ? count : 1, sizeof(NoteCell)));
}

bool readPatterns(Reader& in, Module* module, uint32_t patternCount, uint16_t version, const char*& error) {
    uint32_t referenced = 0;
    for (int i = 0; i < module->songLength; ++i)
        if (uint32_t(module->orderTable[i]) + 1 > referenced) referenced = module->orderTable[i] + 1u;
    module->referencedPatterns = referenced;
    module->patternSlots = patternCount > referenced ? patternCount : referenced;
    module->patterns = static_cast<Pattern*>(std::calloc(module->patternSlots ? module->patternSlots : 1, sizeof(Pattern)));

    for (uint32_t p = 0; p < patternCount; ++p) {
        // Files from other trackers may store a longer pattern header; whatever lies past the
        // 9 bytes read is skipped. A standard (or shorter) length reads exactly 9 bytes.
        uint32_t headerLength = in.u32();
        in.u8();  // packing type
        uint32_t rows = version == 0x0102 ? in.u8() + 1u : in.u16();
        uint32_t packedSize = in.u16();
        uint32_t headerRead = version == 0x0102 ? PatternHeaderRead - 1 : PatternHeaderRead;
        if (headerLength > headerRead) in.skip(headerLength - headerRead);
        if (rows > 256) return error = formatError("pattern %u has %u rows (at most 256)", p, rows), false;

        Pattern& pattern = module->patterns[p];
        pattern.rows = rows;
        pattern.cells = allocateCells(rows, module->channels);
        if (packedSize == 0) continue;
        uint32_t cellCount = rows * uint32_t(module->channels);
        for (uint32_t c = 0; c < cellCount; ++c) unpackCell(in, pattern.cells[c]);
    }
    for (uint32_t p = patternCount; p < referenced; ++p) {
        module->patterns[p].rows = 64;
        module->patterns[p].cells = allocateCells(64, module->channels);
    }
    return true;
}

void readEnvelopePoints(Reader& in, EnvelopePoint* points) {
    for (int i = 0; i < 12; ++i) {
        points[i].x = in.u16();
        uint16_t y = in.u16();
        points[i].y = y > 64 ? 64 : y;
    }
}

// Keeps an envelope's point count and point indices inside its 12 points; fewer than 2 points
// turn it off.
void boundEnvelope(uint8_t& count, uint8_t& sustain, uint8_t& loopStart, uint8_t& loopEnd, uint8_t& type) {
    if (count > 12) count = 12;
    if (count < 2) type = 0;
    if (sustain >= count) type &= uint8_t(~EnvelopeSustain);
    if (loopStart >= count || loopEnd >= count) type &= uint8_t(~EnvelopeLoop);
}

void readInstrumentHeader(Reader& in, Instrument& instrument) {
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

void setNoLoop(Sample& sample) {
    sample.loopMode = LoopNone;
    sample.loopStart = 0;
    sample.loopLength = sample.length;
}

// Reads one sample header; a stored header size beyond the 40 bytes read is skipped. An 8-bit
// sample whose reserved byte is AdpcmMark is stored 4-bit packed: it leaves here with bits 4.
Sample* readSampleHeader(Reader& in, uint32_t storedHeaderSize) {
    Sample* sample = static_cast<Sample*>(std::calloc(1, sizeof(Sample)));
    sample->length = in.u32();
    sample->loopStart = in.u32();
    sample->loopLength = in.u32();
    sample->volume = in.u8();
    sample->finetune = int8_t(in.u8());
    uint8_t type = in.u8();
    sample->loopMode = LoopNone;
    if (type & 1) sample->loopMode = LoopForward;
    if (type & 2) sample->loopMode = LoopPingPong;
    sample->bits = (type & 0x10) ? 16 : 8;
    if (sample->loopMode == LoopNone) setNoLoop(*sample);
    if (sample->bits == 16) {
        sample->length /= 2;
        sample->loopStart /= 2;
        sample->loopLength /= 2;
    }
    if (sample->loopLength == 0) setNoLoop(*sample);
    sample->panning = in.u8();
    sample->relativeNote = int8_t(in.u8());
    if (in.u8() == AdpcmMark && sample->bits == 8) sample->bits = 4;
    in.skip(22);  // name
    if (storedHeaderSize > SampleHeaderRead) in.skip(storedHeaderSize - SampleHeaderRead);
    return sample;
}

// Bytes a sample's data takes in the file, and how many of its values the given bytes hold.
uint64_t storedBytes(const Sample& sample, uint64_t values) {
    if (sample.bits == 4) return AdpcmTableBytes + (values + 1) / 2;
    return values * (sample.bits / 8);
}

uint32_t valuesIn(const Sample& sample, uint32_t bytes) {
    if (sample.bits == 4) return bytes < AdpcmTableBytes ? 0 : (bytes - AdpcmTableBytes) * 2;
    return bytes / (sample.bits / 8);
}

// 4-bit packed data: a table of 16 signed 8-bit steps, then two values per byte (low nibble
// first), each the previous value plus the step its nibble names.
void unpackAdpcm(Reader& in, Sample& sample) {
    int8_t steps[AdpcmTableBytes] = {};
    in.bytes(steps, AdpcmTableBytes);
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

// Reads one sample's data: bounded by the bytes left in the image, widened to 16 bits,
// delta-decoded (or unpacked), with loop points kept inside the data and the guard slot written.
// Data cut short by the end of the image is kept as far as it goes when mayEndShort; otherwise
// the load fails, since more of the file was still to come.
bool readSampleData(Reader& in, Sample& sample, bool mayEndShort, const char*& error) {
    uint32_t at = in.tell();
    uint32_t available = valuesIn(sample, in.remaining());
    uint32_t storedLength = sample.length;
    if (sample.length > available) {
        if (!mayEndShort)
            return error = formatError("sample data runs past the end of the file at offset %u", at), false;
        sample.length = available;
    }
    if (sample.length > MaxSampleValues) sample.length = MaxSampleValues;
    if (sample.loopMode == LoopNone) {
        setNoLoop(sample);
    } else if (sample.loopStart >= sample.length) {
        setNoLoop(sample);
    } else if (sample.loopLength > sample.length - sample.loopStart) {
        sample.loopLength = sample.length - sample.loopStart;
    }
    if (sample.length == 0) {
        in.seekTo(uint64_t(at) + storedBytes(sample, storedLength));
        sample.bits = 16;
        return true;
    }

    sample.allocation = static_cast<int16_t*>(std::calloc(LeadSlots + sample.length + GuardSlots, sizeof(int16_t)));
    sample.data = sample.allocation + LeadSlots;
    if (sample.bits == 4) {
        unpackAdpcm(in, sample);
    } else {
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
    // A stored length beyond the image was cut above; skip what was claimed but is not there.
    in.seekTo(uint64_t(at) + storedBytes(sample, storedLength));
    sample.bits = 16;

    uint32_t loopEnd = sample.loopStart + sample.loopLength;
    if (sample.loopMode == LoopPingPong) sample.data[loopEnd] = sample.data[loopEnd - 1];
    else if (sample.loopMode == LoopForward) sample.data[loopEnd] = sample.data[sample.loopStart];
    return true;
}

// Reads instrument index's headers and its sample headers, leaving the stream after them.
bool readInstrumentHeaders(Reader& in, Module* module, int index, const char*& error) {
    Instrument& instrument = module->instruments[index];
    for (Sample*& entry : instrument.samples) entry = &sharedEmptySample;

    uint32_t start = in.tell();
    uint32_t headerSize = in.u32();
    in.skip(23);  // name, type
    uint32_t sampleCount = in.u16();
    if (sampleCount == 0) {
        in.seekTo(uint64_t(start) + headerSize);
        return true;
    }

    uint32_t sampleHeaderSize = in.u32();
    in.bytes(instrument.sampleMap, 96);
    readInstrumentHeader(in, instrument);
    in.seekTo(uint64_t(start) + headerSize);

    // Every sample header takes at least the 40 bytes read, so the file bounds the count.
    uint32_t headerBytes = sampleHeaderSize > SampleHeaderRead ? sampleHeaderSize : SampleHeaderRead;
    if (uint64_t(sampleCount) * headerBytes > in.remaining())
        return error = formatError("instrument %d has %u samples, more than the file holds", index + 1,
                                   sampleCount), false;
    if (sampleCount > MaxInstrumentSamples)
        return error = formatError("instrument %d has %u samples (at most %u)", index + 1, sampleCount,
                                   MaxInstrumentSamples), false;
    instrument.sampleCount = sampleCount;
    for (uint32_t s = 0; s < sampleCount; ++s) instrument.samples[s] = readSampleHeader(in, sampleHeaderSize);
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

// Versions 0x0102 and 0x0103: all instrument headers, the patterns, then all sample data.
bool readOldLayout(Reader& in, Module* module, uint32_t patternCount, uint16_t version, const char*& error) {
    allocateInstruments(module);
    for (int i = 0; i < module->instrumentCount; ++i)
        if (!readInstrumentHeaders(in, module, i, error)) return false;
    if (!readPatterns(in, module, patternCount, version, error)) return false;
    int lastWithData = -1;
    for (int i = 0; i < module->instrumentCount; ++i)
        if (hasSampleData(module->instruments[i])) lastWithData = i;
    for (int i = 0; i < module->instrumentCount; ++i)
        if (!readInstrumentData(in, module, i, i >= lastWithData, error)) return false;
    return true;
}

bool parse(Reader& in, Module* module, const char*& error) {
    char signature[17] = {};
    in.seekTo(0);
    in.bytes(signature, 17);
    if (std::memcmp(signature, "Extended Module: ", 17) != 0) return error = "not an Extended Module", false;
    in.seekTo(58);
    uint16_t version = in.u16();
    if (version < OldestVersion || version > NewestVersion)
        return error = formatError("XM version 0x%04X is not supported", unsigned(version)), false;
    module->tickHandler = Sequencer::tick;
    module->initialGlobalVolume = 64;

    uint32_t patternCount = 0;
    if (!readHeader(in, module, patternCount, error)) return false;
    if (version < 0x0104) return readOldLayout(in, module, patternCount, version, error);
    if (!readPatterns(in, module, patternCount, version, error)) return false;
    return readInstruments(in, module, error);
}

}  // namespace

Sample* emptySample() { return &sharedEmptySample; }

Module* loadModule(const void* source, const char** error) {
    const char* reason = nullptr;
    if (!ModuleStream::installed()) {
        if (error) *error = "no module stream installed";
        return nullptr;
    }
    const ModuleStream& ops = ModuleStream::current();
    void* handle = ops.open(source);
    if (!handle) {
        if (error) *error = "cannot open the module stream";
        return nullptr;
    }
    ops.seek(handle, 0, 2);
    Reader in{&ops, handle, ops.tell(handle)};
    ops.seek(handle, 0, 0);

    Module* module = static_cast<Module*>(std::calloc(1, sizeof(Module)));
    bool ok = parse(in, module, reason);
    ops.close(handle);
    if (!ok) {
        freeParts(module);
        if (error) *error = reason;
        return nullptr;
    }
    return module;
}

void freeModule(Module* module) {
    if (!module) return;
    if (module->output) AudioOutput::stop(module->output);
    freeParts(module);
}
