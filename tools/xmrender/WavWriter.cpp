#include "tools/xmrender/WavWriter.h"

#include <cstring>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace {

void put16(uint8_t* at, uint32_t value) {
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}

void put32(uint8_t* at, uint32_t value) {
    put16(at, value);
    put16(at + 2, value >> 16);
}

void header(uint8_t* h, uint32_t rate, uint32_t dataBytes) {
    const char* tags[] = {"RIFF", "WAVE", "fmt ", "data"};
    const int offsets[] = {0, 8, 12, 36};
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 4; ++i) h[offsets[t] + i] = uint8_t(tags[t][i]);
    put32(h + 4, 36 + dataBytes);
    put32(h + 16, 16);  // fmt chunk size
    put16(h + 20, 1);   // PCM
    put16(h + 22, 2);   // channels
    put32(h + 24, rate);
    put32(h + 28, rate * 4);  // bytes per second
    put16(h + 32, 4);         // bytes per frame
    put16(h + 34, 16);        // bits per sample
    put32(h + 40, dataBytes);
}

uint32_t dataSize(uint64_t frames) {
    uint64_t bytes = frames * 4;
    return bytes > 0xFFFFFFD0u ? 0xFFFFFFD0u : uint32_t(bytes);
}

}  // namespace

bool WavWriter::open(WavWriter& writer, const char* path, uint32_t rate, bool raw) {
    writer.rate = rate;
    writer.frames = 0;
    writer.raw = raw;
    writer.ownsFile = std::strcmp(path, "-") != 0;
    if (writer.ownsFile) {
        writer.file = std::fopen(path, "wb");
    } else {
        writer.file = stdout;
#if defined(_WIN32)
        _setmode(_fileno(stdout), _O_BINARY);
#endif
    }
    if (!writer.file) return false;
    writer.seekable = std::fseek(writer.file, 0, SEEK_CUR) == 0 && std::ftell(writer.file) == 0;
    return true;
}

bool WavWriter::start(WavWriter& writer, uint64_t expectedFrames) {
    if (writer.raw) return true;
    uint8_t h[44] = {};
    header(h, writer.rate, dataSize(expectedFrames));
    return std::fwrite(h, 1, 44, writer.file) == 44;
}

bool WavWriter::write(WavWriter& writer, const int16_t* samples, uint32_t frames) {
    uint8_t bytes[4096];
    uint32_t done = 0;
    while (done < frames) {
        uint32_t chunk = frames - done < 1024 ? frames - done : 1024;
        for (uint32_t i = 0; i < chunk * 2; ++i) put16(bytes + 2 * i, uint16_t(samples[done * 2 + i]));
        if (std::fwrite(bytes, 4, chunk, writer.file) != chunk) return false;
        done += chunk;
    }
    writer.frames += frames;
    return true;
}

bool WavWriter::finish(WavWriter& writer) {
    bool ok = true;
    if (!writer.raw && writer.seekable) {
        uint8_t h[44] = {};
        header(h, writer.rate, dataSize(writer.frames));
        ok = std::fseek(writer.file, 0, SEEK_SET) == 0 && std::fwrite(h, 1, 44, writer.file) == 44;
    }
    ok = std::fflush(writer.file) == 0 && ok;
    if (writer.ownsFile) ok = std::fclose(writer.file) == 0 && ok;
    writer.file = nullptr;
    return ok;
}
