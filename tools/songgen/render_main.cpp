// songwav: plays a module file through the show's own player and writes what it hears as a
// 44100 Hz 16-bit stereo WAV file, from the start to the song's loop point.
//
//   songwav SONG.xm OUT.wav
//
// Exits 0 on success; on bad input prints one line to stderr and exits 1.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "music/SongRender.h"

namespace {

void put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

std::vector<uint8_t> wavFile(const std::vector<int16_t>& pcm) {
    std::vector<uint8_t> out;
    uint32_t dataBytes = uint32_t(pcm.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put(out, 36 + dataBytes, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(out, 16, 4);
    put(out, 1, 2);           // PCM
    put(out, 2, 2);           // stereo
    put(out, 44100, 4);       // frames per second
    put(out, 44100 * 4, 4);   // bytes per second
    put(out, 4, 2);           // bytes per frame
    put(out, 16, 2);          // bits per value
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put(out, dataBytes, 4);
    for (int16_t v : pcm) put(out, uint16_t(v), 2);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: songwav SONG.xm OUT.wav\n");
        return 1;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) image.clear();
    std::vector<int16_t> pcm;
    const char* error = "empty file";
    // At most ten minutes, in case the song never returns to an order it played.
    if (image.empty() || !renderSong(image.data(), uint32_t(image.size()), 44100ull * 600, true, pcm, nullptr, &error)) {
        std::fprintf(stderr, "songwav: cannot play %s: %s\n", argv[1], error);
        return 1;
    }
    std::vector<uint8_t> wav = wavFile(pcm);
    std::ofstream out(argv[2], std::ios::binary);
    out.write(reinterpret_cast<const char*>(wav.data()), std::streamsize(wav.size()));
    if (!out) {
        std::fprintf(stderr, "songwav: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
