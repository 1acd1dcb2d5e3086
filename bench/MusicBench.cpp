// Render speed of the music player: a 20-channel song with every channel sounding, sequenced and
// mixed exactly as in playback (no device, no file). Reports the speed as a multiple of real time
// and the cost of mixing one 884-frame block.
//
// MUSIC_BENCH_XM=<path> also writes the song to that file (for whole-process comparisons).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "music/BlockMixer.h"
#include "music/Mixer.h"
#include "music/SongRender.h"
#include "tools/common/XmWriter.h"

namespace {

constexpr uint16_t Channels = 20;

XmSample benchSample(int index) {
    XmSample sample;
    sample.bits = 16;
    int length = 3000 + 500 * index;
    for (int i = 0; i < length; ++i) sample.data.push_back(int16_t((i * (37 + index) % 2000 - 1000) * 12));
    sample.loop = index % 3 == 2 ? XmLoop::PingPong : XmLoop::Forward;
    sample.loopStart = uint32_t(length / 3);
    sample.loopLength = uint32_t(length / 2);
    return sample;
}

// Four orders of 64 rows; every channel plays a note each 8 rows and keeps sounding (looped
// samples), with vibrato, volume slides, arpeggio and panning slides in between.
std::vector<uint8_t> benchSong() {
    XmSong song;
    song.name = "bench";
    song.channels = Channels;
    song.speed = 6;
    song.tempo = 125;
    song.orders = {0, 1, 0, 1};
    for (int p = 0; p < 2; ++p) {
        XmPattern pattern = XmPattern::empty(64, Channels);
        for (uint16_t row = 0; row < 64; ++row)
            for (uint16_t c = 0; c < Channels; ++c) {
                XmCell& cell = pattern.at(row, c, Channels);
                if ((row + c) % 8 == 0) {
                    cell.note = uint8_t(30 + (c * 5 + row + p * 7) % 40);
                    cell.instrument = uint8_t(1 + c % 4);
                    cell.volume = uint8_t(0x30 + c);
                } else {
                    static const uint8_t effects[] = {0x4, 0xA, 0x0, 25, 0x1, 0x2};
                    cell.effect = effects[(row + c) % 6];
                    cell.param = cell.effect == 0 ? 0x37 : 0x12;
                }
            }
        song.patterns.push_back(pattern);
    }
    for (int i = 0; i < 4; ++i) {
        XmInstrument instrument;
        instrument.samples.push_back(benchSample(i));
        instrument.volumeEnvelope = XmEnvelope{{{0, 64}, {20, 48}, {60, 40}}, 2, 0, 0, 1 | 2};
        instrument.vibratoDepth = 4;
        instrument.vibratoRate = 16;
        song.instruments.push_back(instrument);
    }
    return writeXm(song);
}

}  // namespace

static void BM_RenderSong(benchmark::State& state) {
    std::vector<uint8_t> image = benchSong();
    const uint32_t frames = 44100 * 10;
    std::vector<int16_t> pcm(size_t(frames) * 2);
    for (auto _ : state) {
        SongRender* render = SongRender::open(image.data(), uint32_t(image.size()));
        SongRender::render(render, pcm.data(), frames, false);
        benchmark::DoNotOptimize(pcm.data());
        SongRender::close(render);
    }
    double audioSeconds = double(frames) / 44100.0 * double(state.iterations());
    state.counters["realtime_x"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderSong)->Unit(benchmark::kMillisecond);

static void BM_MixBlock(benchmark::State& state) {
    std::vector<uint8_t> image = benchSong();
    SongRender* render = SongRender::open(image.data(), uint32_t(image.size()));
    std::vector<int16_t> pcm(44100 * 2);
    SongRender::render(render, pcm.data(), 44100, false);  // one second in: every channel sounding
    int sounding = 0;
    for (const Voice& v : render->mixer.voices) sounding += v.sample != nullptr;
    std::vector<float> block(884 * 2);
    for (auto _ : state) {
        std::fill(block.begin(), block.end(), 0.0f);
        Mixer::mixVoices(render->mixer, block.data(), 884);
        benchmark::DoNotOptimize(block.data());
    }
    state.counters["voices"] = sounding;
    state.counters["frames_per_s"] =
        benchmark::Counter(884.0 * double(state.iterations()), benchmark::Counter::kIsRate);
    SongRender::close(render);
}
BENCHMARK(BM_MixBlock)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    if (const char* path = std::getenv("MUSIC_BENCH_XM")) {
        std::vector<uint8_t> image = benchSong();
        std::FILE* file = std::fopen(path, "wb");
        if (!file || std::fwrite(image.data(), 1, image.size(), file) != image.size()) {
            std::fprintf(stderr, "bench_music: cannot write %s\n", path);
            return 1;
        }
        std::fclose(file);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
