// The particle cloud scene on one core at 640 x 480, captions through FreeType: one frame in the
// steady state after reset with a time step of 1, and the frames at the cloud's largest scale
// (sin(pulsePhase) = 1: the points spread furthest, many come close to the viewer and their
// sprites grow large), plus the smear on its own.
#include <benchmark/benchmark.h>

#include <numbers>

#include "display/TextSprite.h"
#include "engine/Bitmap.h"
#include "engine/Draw2D.h"
#include "platform/freetype/FreeTypeFontEngine.h"
#include "scenes/ParticleCloudScene.h"

namespace {

struct CloudFixture {
    FreeTypeFontEngine fonts;
    Bitmap frame{640, 480};
    ParticleCloudScene scene;

    CloudFixture() {
        fonts.open();
        useFontEngine(&fonts);
        scene.init(&frame, [] {});
        useFontEngine(nullptr);
        scene.renderFrame(&frame, 1.0f, 0.0f);
    }
};

void BM_ParticleCloudFrame(benchmark::State& state) {
    CloudFixture cloud;
    for (auto _ : state) {
        cloud.scene.renderFrame(&cloud.frame, 1.0f, 0.0f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ParticleCloudFrame)->Unit(benchmark::kMillisecond);

// Argument k: the (k + 1)-th swell after reset, pulsePhase = (4k + 1) pi / 2, where the angles
// have grown five times as far (0.1 against 0.02 per step). Every frame is put back one step
// before that moment and steps onto it. The second swell (about 6.5 s in, within order 5) blits
// the most sprite area of the scene's run: the cloud has swung 96 units closer.
void BM_ParticleCloudLargestFrame(benchmark::State& state) {
    CloudFixture cloud;
    float phase = float(4 * state.range(0) + 1) * std::numbers::pi_v<float> * 0.5f;
    for (auto _ : state) {
        cloud.scene.pulsePhase = phase - 0.02f;
        cloud.scene.tumble = cloud.scene.spinOffset = 5.0f * phase - 0.1f;
        cloud.scene.renderFrame(&cloud.frame, 1.0f, 0.0f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ParticleCloudLargestFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ParticleCloudSmear(benchmark::State& state) {
    CloudFixture cloud;
    for (auto _ : state) {
        radialSmear(cloud.frame, 320, 240, 0.04f, 0.4f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ParticleCloudSmear)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
