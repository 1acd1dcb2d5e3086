// The credits scene on one core at 640 x 480, captions through FreeType, steady state after reset
// with a time step of 1. Argument 0: order 7 row 30 ("1:30" and the tagline); 1: order 8 row 50
// (all four names). A silent song on the virtual sound device supplies the song position.
#include <benchmark/benchmark.h>

#include <vector>

#include "display/TextSprite.h"
#include "engine/Bitmap.h"
#include "music/ModulePlayer.h"
#include "platform/freetype/FreeTypeFontEngine.h"
#include "platform/headless/VirtualAudioDevice.h"
#include "scenes/CreditsScene.h"
#include "tools/common/XmWriter.h"

namespace {

void BM_CreditsFrame(benchmark::State& state) {
    FreeTypeFontEngine fonts;
    fonts.open();
    useFontEngine(&fonts);
    Bitmap frame(640, 480);
    CreditsScene scene;
    scene.init(&frame, [] {});
    useFontEngine(nullptr);

    VirtualAudioDevice device;
    std::vector<uint8_t> image = writeXm(silentTimelineSong());
    ModulePlayer::create(&device, nullptr, image.data(), uint32_t(image.size()));
    ModulePlayer::start();
    int32_t order = state.range(0) ? 8 : 7, row = state.range(0) ? 50 : 30;
    while (ModulePlayer::currentOrder() < order || ModulePlayer::currentRow() < row) device.advance(882 * 4);

    for (auto _ : state) {
        scene.renderFrame(&frame, 1.0f, 0.0f);
        benchmark::ClobberMemory();
    }
    ModulePlayer::stop();
}
BENCHMARK(BM_CreditsFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
