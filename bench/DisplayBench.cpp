// Presenting a frame: each converter over a whole 640 x 480 Framebuffer, row by row into a surface
// whose pitch is wider than the row, as the display does on every present. Every implementation
// this processor runs is timed ("plain" is the one-pixel-at-a-time reference, "fastest" the one the
// display uses). Each iteration also copies the bytes the converter writes with memcpy, row by row
// into the same surface, and times that apart: x_memcpy is the converter's time over the copy's,
// measured side by side in one run, and memcpy_us the copy's time per frame. With repetitions the
// minimum is reported beside the median, for a machine that is not quiet.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "core/Random.h"
#include "display/PixelConverter.h"
#include "display/PixelConverterSets.h"

namespace {

constexpr int32_t frameWidth = 640, frameHeight = 480;

using Clock = std::chrono::steady_clock;

struct Frame {
    std::vector<uint32_t> pixels;
    std::vector<uint8_t> surface;
    int32_t pitch;

    explicit Frame(int32_t bytesPerPixel) : pixels(frameWidth * frameHeight), pitch(frameWidth * bytesPerPixel + 64) {
        rng::srand(7);
        for (uint32_t& pixel : pixels) pixel = uint32_t(rng::rand()) << 15 ^ uint32_t(rng::rand());
        surface.assign(size_t(pitch) * frameHeight, 0);
    }
};

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void convertFrame(benchmark::State& state, PixelConverter converter, int32_t bytesPerPixel) {
    Frame frame(bytesPerPixel);
    const size_t rowBytes = size_t(frameWidth) * size_t(bytesPerPixel);
    double convertSeconds = 0, copySeconds = 0;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        for (int32_t row = 0; row < frameHeight; ++row)
            std::memcpy(frame.surface.data() + row * frame.pitch, frame.pixels.data() + row * frameWidth, rowBytes);
        benchmark::ClobberMemory();
        double copy = secondsSince(start);

        start = Clock::now();
        for (int32_t row = 0; row < frameHeight; ++row)
            converter(frame.pixels.data() + row * frameWidth, frame.surface.data() + row * frame.pitch, frameWidth);
        benchmark::ClobberMemory();
        double convert = secondsSince(start);

        state.SetIterationTime(convert);
        convertSeconds += convert;
        copySeconds += copy;
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * frameWidth * frameHeight * 4);
    state.counters["memcpy_us"] = copySeconds / double(state.iterations()) * 1e6;
    state.counters["x_memcpy"] = convertSeconds / copySeconds;
}

// The copy alone: the bytes a converter of this many bytes per pixel writes.
void copyFrame(benchmark::State& state) {
    int32_t bytesPerPixel = int32_t(state.range(0));
    Frame frame(bytesPerPixel);
    for (auto _ : state) {
        for (int32_t row = 0; row < frameHeight; ++row)
            std::memcpy(frame.surface.data() + row * frame.pitch, frame.pixels.data() + row * frameWidth,
                        size_t(frameWidth) * size_t(bytesPerPixel));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * frameWidth * frameHeight * bytesPerPixel);
}

double smallest(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

void registerSet(const char* name, const PixelConverter (&members)[8]) {
    static const char* const formats[8] = {"XRGB32", "XBGR32", "RGB24",  "BGR24",
                                           "RGB565", "BGR565", "RGB555", "BGR555"};
    static const int32_t bytes[8] = {4, 4, 3, 3, 2, 2, 2, 2};
    for (int i = 0; i < 8; ++i) {
        std::string label = std::string("convertFrame/") + formats[i] + "/" + name;
        benchmark::RegisterBenchmark(label.c_str(), convertFrame, members[i], bytes[i])
            ->UseManualTime()
            ->ComputeStatistics("min", smallest)
            ->Unit(benchmark::kMicrosecond);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("memcpyFrame", copyFrame)
        ->Arg(4)
        ->Arg(3)
        ->Arg(2)
        ->ComputeStatistics("min", smallest)
        ->Unit(benchmark::kMicrosecond);
    const PixelConverterSet* sets[8];
    int32_t count = runnablePixelConverterSets(sets, 8);
    for (int32_t i = 0; i < count; ++i) {
        const PixelConverterSet& set = *sets[i];
        const PixelConverter members[8] = {set.xrgb32, set.xbgr32, set.rgb24,  set.bgr24,
                                           set.rgb565, set.bgr565, set.rgb555, set.bgr555};
        registerSet(set.name, members);
    }
    const PixelConverter named[8] = {convertXRGB32, convertXBGR32, convertRGB24,  convertBGR24,
                                     convertRGB565, convertBGR565, convertRGB555, convertBGR555};
    registerSet("fastest", named);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
