// Writes a long Extended Module for timing whole-process renders (bench/xmrender-speed): 8
// channels of looped 8- and 16-bit samples with envelopes, slides, vibrato and arpeggio, about
// 160 seconds long, every channel busy.
#include <cmath>
#include <cstdio>
#include <vector>

#include "tools/common/XmWriter.h"

namespace {

XmSample tone(int bits, int length, int harmonics) {
    XmSample sample;
    sample.bits = uint8_t(bits);
    float peak = bits == 16 ? 20000.0f : 90.0f;
    for (int i = 0; i < length; ++i) {
        float value = 0.0f;
        for (int h = 1; h <= harmonics; ++h) value += std::sin(6.2831853f * float(h * i) / float(length)) / float(h);
        sample.data.push_back(int16_t(value * peak * 0.6f));
    }
    sample.loop = XmLoop::Forward;
    sample.loopLength = uint32_t(length);
    return sample;
}

XmInstrument instrument(const XmSample& sample) {
    XmInstrument result;
    result.samples.push_back(sample);
    result.volumeEnvelope.points = {{0, 64}, {20, 40}, {80, 30}, {200, 0}};
    result.volumeEnvelope.type = 1 | 2;
    result.volumeEnvelope.sustain = 2;
    result.fadeout = 800;
    result.vibratoDepth = 4;
    result.vibratoRate = 20;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.xm\n", argv[0]);
        return 2;
    }
    const uint16_t channels = 8;
    XmSong song;
    song.name = "long benchmark song";
    song.channels = channels;
    song.instruments = {instrument(tone(8, 64, 5)), instrument(tone(16, 256, 9)), instrument(tone(8, 1000, 3)),
                        instrument(tone(16, 4096, 2))};
    const uint8_t effects[][2] = {{0x0A, 0x02}, {0x04, 0x46}, {0x00, 0x37}, {0x01, 0x02}, {0x0A, 0x20}, {0x07, 0x34}};
    for (int p = 0; p < 8; ++p) {
        XmPattern pattern = XmPattern::empty(64, channels);
        for (uint16_t row = 0; row < 64; ++row)
            for (uint16_t c = 0; c < channels; ++c) {
                XmCell& cell = pattern.at(row, c, channels);
                if ((row + c * 3 + p) % 4 == 0) {
                    cell.note = uint8_t(37 + (row * 5 + c * 7 + p * 3) % 36);
                    cell.instrument = uint8_t(1 + (c + p) % 4);
                    cell.volume = uint8_t(0x30 + (row % 4) * 8);
                } else {
                    const uint8_t* e = effects[(row + c + p) % 6];
                    cell.effect = e[0];
                    cell.param = e[1];
                }
            }
        song.patterns.push_back(pattern);
    }
    for (int o = 0; o < 21; ++o) song.orders.push_back(uint8_t(o % 8));
    std::vector<uint8_t> image = writeXm(song);
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(image.data(), 1, image.size(), out) != image.size() || std::fclose(out) != 0) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
