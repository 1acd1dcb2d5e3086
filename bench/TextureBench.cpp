// The texture build: the show's whole 13-command script (target: at most 10 ms on one core), then
// each operation alone on one layer (and beside the fast ones their plain twins), and the bilinear
// readers: one read at a time, and a row of reads as the warp makes them.
#include <benchmark/benchmark.h>

#include <vector>

#include "assets/TextureScript.h"
#include "texture/TextureColour.h"
#include "texture/TextureCombine.h"
#include "texture/TextureFilters.h"
#include "texture/TextureGenerators.h"
#include "texture/TextureSample.h"
#include "texture/TextureScript.h"

namespace {

void noStep() {}

// A layer with a fractal picture in it, freed at the end of the benchmark.
struct BenchLayer {
    TextureLayer layer = TextureLayer::allocate();
    BenchLayer() { genFractalColour(layer, makePixel(204, 106, 9), 1, 25); }
    ~BenchLayer() { TextureLayer::release(layer); }
};

void BM_BuildShowTexture(benchmark::State& state) {
    for (auto _ : state) {
        TextureTable table = buildTextures(textureScriptTable, noStep);
        benchmark::DoNotOptimize(table.textures[0][12345]);
        TextureTable::release(table);
    }
}
BENCHMARK(BM_BuildShowTexture)->Unit(benchmark::kMillisecond);

// Runs one operation on a prepared layer (and a second one as its source) per iteration.
template <typename Operation>
void runOperation(benchmark::State& state, Operation operation) {
    BenchLayer layer, source;
    for (auto _ : state) {
        operation(layer.layer, source.layer);
        benchmark::DoNotOptimize(layer.layer.image[77]);
    }
}

#define TEXTURE_OPERATION_BENCH(name, body)                                 \
    void BM_##name(benchmark::State& state) {                               \
        runOperation(state, [](TextureLayer& layer, TextureLayer& source) { \
            (void)source;                                                   \
            body;                                                           \
        });                                                                 \
    }                                                                       \
    BENCHMARK(BM_##name)->Unit(benchmark::kMicrosecond)

TEXTURE_OPERATION_BENCH(Op00ClearLayer, clearLayer(layer));
TEXTURE_OPERATION_BENCH(Op01SinePlasma, genSinePlasma(layer, TextureRgb{200, 100, 50}, 3, 5));
TEXTURE_OPERATION_BENCH(Op02FractalGradient,
                        genFractalGradient(layer, TextureRgb{10, 20, 30}, TextureRgb{200, 100, 50}, 1, 7));
TEXTURE_OPERATION_BENCH(Op03FractalColour, genFractalColour(layer, makePixel(204, 106, 9), 1, 25));
TEXTURE_OPERATION_BENCH(Op04RandomTiles2x2, genRandomTiles(layer, 2, 2, 25, 51, 76, 9));
TEXTURE_OPERATION_BENCH(Op05ShiftHue, shiftHue(layer, 2));
TEXTURE_OPERATION_BENCH(Op06ShiftValue, shiftValue(layer, 0));
TEXTURE_OPERATION_BENCH(Op07ShiftSaturation, shiftSaturation(layer, 0.0f));
TEXTURE_OPERATION_BENCH(Op08SineWarp, sineWarp(layer, 1, 1, 4, 10, 0, 0));
TEXTURE_OPERATION_BENCH(Op09EmbossShade, embossShade(layer));
TEXTURE_OPERATION_BENCH(Op10InvertChannels, invertChannels(layer, 4));
TEXTURE_OPERATION_BENCH(Op11BlurSixPasses, blurPasses(layer, 6));
TEXTURE_OPERATION_BENCH(Op12Swirl, swirl(layer, 40));
TEXTURE_OPERATION_BENCH(Op13Relief, relief(layer, 0));
TEXTURE_OPERATION_BENCH(Op14AddColour, addColour(layer, 1, -1, 0));
TEXTURE_OPERATION_BENCH(Op15RemapThroughLayer, remapThroughLayer(layer, source, 4, 4));
TEXTURE_OPERATION_BENCH(Op16MixLayers, mixLayers(layer, source, 0.5f, 0.5f, 4, 4));
TEXTURE_OPERATION_BENCH(Op17MultiplyLayers, multiplyLayers(layer, source, -0.78f, 4, 3));
TEXTURE_OPERATION_BENCH(Op18CopyLayer, copyLayer(layer, source));
TEXTURE_OPERATION_BENCH(Op05ShiftHuePlain, shiftHsvPlain(layer.image, texturePixels, HsvComponent::hue, 5.0f));
TEXTURE_OPERATION_BENCH(Op11BlurSixPassesPlain, blurPassesPlain(layer, 6));
TEXTURE_OPERATION_BENCH(Op16MixLayersPlain, mixLayersPlain(layer, source, 0.5f, 0.5f, 4, 4));
TEXTURE_OPERATION_BENCH(Op17MultiplyLayersPlain, multiplyLayersPlain(layer, source, -0.78f, 4, 3));
TEXTURE_OPERATION_BENCH(Op03FractalColourPlain, genFractalColourPlain(layer, makePixel(204, 106, 9), 1, 25));
TEXTURE_OPERATION_BENCH(PackLayer, packLayer(layer));

// 65,536 reads along a slanted line, as one warp pass makes them.
template <uint32_t (*sample)(float, float, const uint32_t*)>
void BM_SampleWrapped(benchmark::State& state) {
    BenchLayer layer;
    for (auto _ : state) {
        uint32_t sum = 0;
        for (int i = 0; i < texturePixels; ++i)
            sum += sample(float(i & 255) + 0.37f, float(i >> 8) * 0.93f, layer.layer.image);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK_TEMPLATE(BM_SampleWrapped, sampleWrappedScalar)->Unit(benchmark::kMicrosecond);

// 65,536 reads as one warp pass makes them: rows of 256 at a whole-number y, shifted along the row.
template <void (*sampleRow)(const float*, float, int, const uint32_t*, uint32_t*)>
void BM_SampleRows(benchmark::State& state) {
    BenchLayer layer;
    std::vector<uint32_t> out(textureSize);
    float positions[textureSize];
    for (auto _ : state) {
        for (int y = 0; y < textureSize; ++y) {
            for (int x = 0; x < textureSize; ++x) positions[x] = float(x) + float(y % 21) * 0.73f - 7.0f;
            sampleRow(positions, float(y), textureSize, layer.layer.image, out.data());
        }
        benchmark::DoNotOptimize(out[11]);
    }
}
BENCHMARK_TEMPLATE(BM_SampleRows, sampleWrappedRowScalar)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_SampleRows, sampleWrappedRow)->Unit(benchmark::kMicrosecond);
#if defined(TEXTURE_HAS_SSE2_SAMPLE)
BENCHMARK_TEMPLATE(BM_SampleWrapped, sampleWrappedSse2)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace

BENCHMARK_MAIN();
