// Feeds arbitrary bytes to the module loader; whatever loads must keep the player's invariants
// (fuzz/ModuleInvariants.h) while it is sequenced and mixed:
//   - the loaded module stays within its limits, and loading the same bytes again gives the same;
//   - the offline render's first blocks are finite and within what the voices can add up to, the
//     song position stays inside the song, every voice inside its sample;
//   - where the song ends within those blocks, measuring (the sequencer alone) ends it at the
//     same frame as rendering;
//   - many short ticks, so that effects run on every kind of row, keep the same;
// and then the song-end search runs over the first minute of two passes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/ModuleInvariants.h"
#include "music/Mixer.h"
#include "music/Sequencer.h"
#include "music/SongRender.h"

namespace {

constexpr uint32_t RenderedBlocks = 8;

// Renders the first blocks, stopping at the song's end, checking each block; the frames rendered.
uint64_t renderFirstBlocks(SongRender* render) {
    const auto samples = samplesOf(*render->module);
    std::vector<int16_t> pcm(size_t(render->blockFrames) * 2);
    uint64_t frames = 0;
    for (uint32_t block = 0; block < RenderedBlocks; ++block) {
        uint32_t got = SongRender::render(render, pcm.data(), render->blockFrames, true);
        frames += got;
        checkMixed(render->floatBlock, size_t(render->blockFrames) * 2);
        checkPosition(*render->module);
        checkVoices(render->mixer, samples);
        if (got < render->blockFrames) break;
    }
    return frames;
}

// Ticks the sequencer with a short mix after each tick.
void runShortTicks(SongRender* render) {
    const auto samples = samplesOf(*render->module);
    std::vector<float> block(64 * 2);
    for (int tick = 0; tick < 48; ++tick) {
        Sequencer::tick(render->module);
        checkPosition(*render->module);
        std::fill(block.begin(), block.end(), 0.0f);
        Mixer::mixVoices(render->mixer, block.data(), 64);
        checkMixed(block.data(), block.size());
        checkVoices(render->mixer, samples);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    SongRender* render = SongRender::open(data, uint32_t(size));
    if (!render) return 0;
    checkModule(*render->module);
    SongRender* again = SongRender::open(data, uint32_t(size));
    require(again != nullptr && describe(*again->module) == describe(*render->module),
            "loading the same bytes twice gives the same module");

    uint64_t rendered = renderFirstBlocks(render);
    uint64_t measured = 0;
    const uint64_t blocksFrames = uint64_t(RenderedBlocks) * render->blockFrames;
    require(SongRender::measure(data, uint32_t(size), 1, blocksFrames, measured) && measured == rendered,
            "measuring ends the song where rendering does");
    SongRender::close(render);

    runShortTicks(again);
    SongRender::close(again);

    uint64_t frames = 0;
    SongRender::measure(data, uint32_t(size), 2, 44100 * 60, frames);
    return 0;
}
