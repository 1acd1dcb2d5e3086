// The title scene's work on one core: one frame of order 1 at 640 x 480 with the shipped object
// block (white fill, two captions, depth clear, then shade, transform and draw of every mesh with
// outlines), and loading the block through the checked reader.
#include <benchmark/benchmark.h>

#include "assets/ObjectBlock.h"
#include "engine/Bitmap.h"
#include "engine/ObjectScene.h"
#include "engine/Viewport.h"

namespace {

// A caption-sized coverage image with the stroke density of bold text: about a third covered.
Bitmap captionSprite(int32_t width) {
    Bitmap sprite(width, 30);
    for (int32_t y = 0; y < sprite.height; ++y)
        for (int32_t x = 0; x < width; ++x)
            sprite.pixels[y * width + x] = (y > 6 && y < 26 && (x % 9) < 3) ? 0xFFFFFF : 0;
    return sprite;
}

// Argument: the animation time in frames (0 the top-down start, 45 and 90 the three-quarter views).
void BM_TitleFrame(benchmark::State& state) {
    Bitmap frame(640, 480);
    Viewport viewport;
    viewport.setup(&frame, 70.0f);
    ObjectScene object;
    object.load(objectBlock);
    Bitmap groupName = captionSprite(92), title = captionSprite(140);
    float time = float(state.range(0));
    projectionFlipY = true;
    for (auto _ : state) {
        frame.fill(0xFFFFFFFF);
        frame.drawTextSprite(groupName, 210, 230, 0, 0.5f);
        frame.drawTextSprite(title, 310, 230, 0, 0.5f);
        viewport.clearDepth();
        object.draw(viewport, time);
        benchmark::ClobberMemory();
    }
    projectionFlipY = false;
    object.release();
}
BENCHMARK(BM_TitleFrame)->Arg(0)->Arg(45)->Arg(90)->Unit(benchmark::kMicrosecond);

void BM_ObjectBlockCheckedLoad(benchmark::State& state) {
    for (auto _ : state) {
        ObjectScene object;
        bool loaded = object.load(objectBlock, objectBlockSize);
        benchmark::DoNotOptimize(loaded);
        object.release();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * objectBlockSize);
}
BENCHMARK(BM_ObjectBlockCheckedLoad)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
