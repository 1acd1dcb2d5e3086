// Feeds arbitrary bytes to the module loader, then sequences and mixes what loaded: a few blocks
// through the offline render, many short ticks so that effects run on every kind of row, and the
// song-end search over the first minute.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "music/Mixer.h"
#include "music/Sequencer.h"
#include "music/SongRender.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    SongRender* render = SongRender::open(data, uint32_t(size));
    if (!render) return 0;
    std::vector<int16_t> pcm(4096 * 2);
    SongRender::render(render, pcm.data(), 4096, false);

    std::vector<float> block(64 * 2);
    for (int tick = 0; tick < 48; ++tick) {
        Sequencer::tick(render->module);
        Mixer::mixVoices(render->mixer, block.data(), 64);
    }
    SongRender::close(render);

    uint64_t frames = 0;
    SongRender::measure(data, uint32_t(size), 2, 44100 * 60, frames);
    return 0;
}
