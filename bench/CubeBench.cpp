// The cube scene on one core at 640 x 480, captions through FreeType: one frame in the steady state
// after reset with a time step of 1, and the frame where the lattice comes nearest and fills most
// of the view (sin(gridSpin * 0.05) = -1: 110 units away instead of 130).
#include <benchmark/benchmark.h>

#include <numbers>

#include "display/TextSprite.h"
#include "engine/Bitmap.h"
#include "platform/freetype/FreeTypeFontEngine.h"
#include "scenes/CubeScene.h"

namespace {

struct CubeFixture {
    FreeTypeFontEngine fonts;
    Bitmap frame{640, 480};
    CubeScene scene;

    CubeFixture() {
        fonts.open();
        useFontEngine(&fonts);
        scene.init(&frame, [] {});
        useFontEngine(nullptr);
        scene.renderFrame(&frame, 1.0f, 0.0f);
    }
};

void BM_CubeFrame(benchmark::State& state) {
    CubeFixture cube;
    for (auto _ : state) {
        cube.scene.renderFrame(&cube.frame, 1.0f, 0.0f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CubeFrame)->Unit(benchmark::kMillisecond);

void BM_CubeNearestFrame(benchmark::State& state) {
    CubeFixture cube;
    float nearest = 1.5f * std::numbers::pi_v<float> / 0.05f;
    for (auto _ : state) {
        cube.scene.gridSpin = nearest - 0.3f;
        cube.scene.renderFrame(&cube.frame, 1.0f, 0.0f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CubeNearestFrame)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
