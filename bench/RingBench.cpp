// The ring scene on one core at 640 x 480, captions through FreeType: one frame in the steady state
// after reset with a time step of 1 (about 40 points), and the frame with the most points (440, at
// a size phase of pi).
#include <benchmark/benchmark.h>

#include <numbers>

#include "display/TextSprite.h"
#include "engine/Bitmap.h"
#include "engine/SineTable.h"
#include "platform/freetype/FreeTypeFontEngine.h"
#include "scenes/RingScene.h"

namespace {

struct RingFixture {
    FreeTypeFontEngine fonts;
    Bitmap frame{640, 480};
    RingScene scene;

    RingFixture() {
        buildSineTable();
        fonts.open();
        useFontEngine(&fonts);
        scene.init(&frame, [] {});
        useFontEngine(nullptr);
        scene.renderFrame(&frame, 1.0f, 0.0f);
    }
};

void BM_RingFrame(benchmark::State& state) {
    RingFixture ring;
    for (auto _ : state) {
        ring.scene.renderFrame(&ring.frame, 1.0f, 0.0f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RingFrame)->Unit(benchmark::kMillisecond);

void BM_RingMostPointsFrame(benchmark::State& state) {
    RingFixture ring;
    for (auto _ : state) {
        ring.scene.sizePhase = std::numbers::pi_v<float> - 0.0015f;
        ring.scene.renderFrame(&ring.frame, 1.0f, 0.0f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RingMostPointsFrame)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
