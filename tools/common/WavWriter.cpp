#include "tools/common/WavWriter.h"

#include <cerrno>
#include <cstring>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr uint32_t BytesPerFrame = 4;     // 16-bit stereo
constexpr uint32_t RiffHeaderBytes = 44;  // RIFF, WAVE, fmt (16), data
constexpr uint32_t Rf64HeaderBytes = 80;  // RF64, WAVE, ds64 (28), fmt (16), data
constexpr uint32_t SizeInDs64 = 0xFFFFFFFFu;

void put(std::vector<uint8_t>& h, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) h.push_back(uint8_t(value >> (8 * i)));
}

void tag(std::vector<uint8_t>& h, const char* name) {
    for (int i = 0; i < 4; ++i) h.push_back(uint8_t(name[i]));
}

void formatChunk(std::vector<uint8_t>& h, uint32_t rate) {
    tag(h, "fmt ");
    put(h, 16, 4);                    // chunk size
    put(h, 1, 2);                     // PCM
    put(h, 2, 2);                     // channels
    put(h, rate, 4);                  // frames per second
    put(h, rate * BytesPerFrame, 4);  // bytes per second
    put(h, BytesPerFrame, 2);         // bytes per frame
    put(h, 16, 2);                    // bits per sample
}

// Remembers the errno of the first failure; returns ok.
bool noteFailure(WavWriter& writer, bool ok) {
    if (!ok && writer.error == 0) writer.error = errno ? errno : EIO;
    return ok;
}

}  // namespace

WavLayout WavWriter::layoutFor(uint64_t dataBytes) {
    // The RIFF size field counts the data and the 36 header bytes after the field itself.
    return dataBytes + (RiffHeaderBytes - 8) <= 0xFFFFFFFFu ? WavLayout::Riff : WavLayout::Rf64;
}

std::vector<uint8_t> WavWriter::header(WavLayout layout, uint32_t rate, uint64_t frames) {
    uint64_t dataBytes = frames * BytesPerFrame;
    std::vector<uint8_t> h;
    h.reserve(Rf64HeaderBytes);
    if (layout == WavLayout::Riff) {
        tag(h, "RIFF");
        put(h, dataBytes + RiffHeaderBytes - 8, 4);
        tag(h, "WAVE");
        formatChunk(h, rate);
        tag(h, "data");
        put(h, dataBytes, 4);
        return h;
    }
    // The 32-bit sizes say "see ds64"; ds64 holds the file size after its first 8 bytes, the data
    // size and the frame count, and no table of further chunk sizes.
    tag(h, "RF64");
    put(h, SizeInDs64, 4);
    tag(h, "WAVE");
    tag(h, "ds64");
    put(h, 28, 4);
    put(h, dataBytes + Rf64HeaderBytes - 8, 8);
    put(h, dataBytes, 8);
    put(h, frames, 8);
    put(h, 0, 4);
    formatChunk(h, rate);
    tag(h, "data");
    put(h, SizeInDs64, 4);
    return h;
}

bool WavWriter::open(WavWriter& writer, const char* path, uint32_t rate, bool raw) {
    writer.rate = rate;
    writer.frames = 0;
    writer.raw = raw;
    writer.layout = WavLayout::Riff;
    writer.error = 0;
    writer.ownsFile = std::strcmp(path, "-") != 0;
    if (writer.ownsFile) {
        writer.file = std::fopen(path, "wb");
    } else {
        writer.file = stdout;
#if defined(_WIN32)
        _setmode(_fileno(stdout), _O_BINARY);
#endif
    }
    if (!noteFailure(writer, writer.file != nullptr)) return false;
    writer.seekable = std::fseek(writer.file, 0, SEEK_CUR) == 0 && std::ftell(writer.file) == 0;
    return true;
}

bool WavWriter::start(WavWriter& writer, uint64_t expectedFrames) {
    if (writer.raw) return true;
    writer.layout = layoutFor(expectedFrames * BytesPerFrame);
    std::vector<uint8_t> h = header(writer.layout, writer.rate, expectedFrames);
    return noteFailure(writer, std::fwrite(h.data(), 1, h.size(), writer.file) == h.size());
}

bool WavWriter::write(WavWriter& writer, const int16_t* samples, uint32_t frames) {
    uint8_t bytes[4096];
    uint32_t done = 0;
    while (done < frames) {
        uint32_t chunk = frames - done < 1024 ? frames - done : 1024;
        for (uint32_t i = 0; i < chunk * 2; ++i) {
            uint16_t value = uint16_t(samples[done * 2 + i]);
            bytes[2 * i] = uint8_t(value);
            bytes[2 * i + 1] = uint8_t(value >> 8);
        }
        if (!noteFailure(writer, std::fwrite(bytes, BytesPerFrame, chunk, writer.file) == chunk)) return false;
        done += chunk;
    }
    writer.frames += frames;
    return true;
}

bool WavWriter::finish(WavWriter& writer) {
    bool ok = writer.error == 0;
    if (ok && !writer.raw && writer.seekable) {
        // The layout start chose stays: a RIFF header cannot grow into an RF64 one in place.
        uint64_t frames = writer.frames;
        if (writer.layout == WavLayout::Riff && layoutFor(frames * BytesPerFrame) != WavLayout::Riff)
            frames = (0xFFFFFFFFu - (RiffHeaderBytes - 8)) / BytesPerFrame;
        std::vector<uint8_t> h = header(writer.layout, writer.rate, frames);
        ok = noteFailure(writer, std::fseek(writer.file, 0, SEEK_SET) == 0 &&
                                     std::fwrite(h.data(), 1, h.size(), writer.file) == h.size());
    }
    ok = noteFailure(writer, std::fflush(writer.file) == 0) && ok;
    if (writer.ownsFile) ok = noteFailure(writer, std::fclose(writer.file) == 0) && ok;
    writer.file = nullptr;
    return ok;
}
