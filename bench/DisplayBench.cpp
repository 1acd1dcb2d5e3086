// Presenting a frame: each converter over a whole 640 x 480 Framebuffer, row by row into a surface
// whose pitch is wider than the row, as the display does on every present.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/Random.h"
#include "display/PixelConverter.h"

namespace {

constexpr int32_t frameWidth = 640, frameHeight = 480;

void convertFrame(benchmark::State& state, PixelConverter converter, int32_t bytesPerPixel) {
    std::vector<uint32_t> frame(frameWidth * frameHeight);
    rng::srand(7);
    for (uint32_t& pixel : frame) pixel = uint32_t(rng::rand()) << 15 ^ uint32_t(rng::rand());
    const int32_t pitch = frameWidth * bytesPerPixel + 64;
    std::vector<uint8_t> surface(size_t(pitch) * frameHeight);
    for (auto _ : state) {
        for (int32_t row = 0; row < frameHeight; ++row)
            converter(frame.data() + row * frameWidth, surface.data() + row * pitch, frameWidth);
        benchmark::DoNotOptimize(surface.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * frameWidth * frameHeight * 4);
}

}  // namespace

BENCHMARK_CAPTURE(convertFrame, XRGB32, convertXRGB32, 4);
BENCHMARK_CAPTURE(convertFrame, XBGR32, convertXBGR32, 4);
BENCHMARK_CAPTURE(convertFrame, RGB24, convertRGB24, 3);
BENCHMARK_CAPTURE(convertFrame, BGR24, convertBGR24, 3);
BENCHMARK_CAPTURE(convertFrame, RGB565, convertRGB565, 2);
BENCHMARK_CAPTURE(convertFrame, BGR565, convertBGR565, 2);
BENCHMARK_CAPTURE(convertFrame, RGB555, convertRGB555, 2);
BENCHMARK_CAPTURE(convertFrame, BGR555, convertBGR555, 2);

BENCHMARK_MAIN();
