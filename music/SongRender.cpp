#include "music/SongRender.h"

#include <cstdlib>
#include <cstring>

#include "music/BlockMixer.h"
#include "music/ModuleLoader.h"
#include "music/ModuleStream.h"
#include "music/Sequencer.h"

namespace {

constexpr uint32_t OutputRate = 44100;
constexpr uint64_t NoEnd = ~uint64_t(0);

void observeTick(void* user, const Module& module, uint32_t frame, int32_t tick) {
    SongRender& render = *static_cast<SongRender*>(user);
    uint64_t absolute = render.blockStartFrame + frame;
    if (module.orderRevisits > 0 && render.songEndFrame == NoEnd) render.songEndFrame = absolute;
    if (render.timeline && render.songEndFrame == NoEnd)
        render.timeline->push_back(SongTick{absolute, module.currentOrder, module.currentRow, tick, module.elapsedMs});
}

void mixNextBlock(SongRender& render) {
    render.blockStartFrame = render.nextBlockFrame;
    render.nextBlockFrame += render.blockFrames;
    TickObserver observer{observeTick, &render};
    mixSongFrames(*render.module, render.floatBlock, render.blockFrames, &observer);
    Mixer::toPcm16(render.pcmBlock, render.floatBlock, int32_t(render.blockFrames));
    render.pcmOffset = 0;
}

}  // namespace

SongRender* SongRender::open(const uint8_t* image, uint32_t size, const char** error) {
    if (!ModuleStream::installed()) ModuleStream::install(MemoryStream::operations());
    ModuleImage source{image, size};
    Module* module = loadModule(&source, error);
    if (!module) return nullptr;

    SongRender* render = new SongRender{};
    render->module = module;
    Mixer::open(render->mixer, OutputRate);
    render->blockFrames = (OutputRate * 20 / 1000 + 3) & ~3u;
    render->floatBlock = static_cast<float*>(std::calloc(size_t(render->blockFrames) * 2, sizeof(float)));
    render->pcmBlock = static_cast<int16_t*>(std::calloc(size_t(render->blockFrames) * 2, sizeof(int16_t)));
    render->pcmOffset = render->blockFrames;  // nothing mixed yet
    render->blockStartFrame = 0;
    render->nextBlockFrame = 0;
    render->songEndFrame = NoEnd;
    render->timeline = nullptr;

    module->mixer = &render->mixer;
    module->channelTable = render->channels;
    Sequencer::reset(module);
    for (int n = 0; n < MaxChannels; ++n) render->channels[n].voice = &render->mixer.voices[n];
    return render;
}

uint32_t SongRender::render(SongRender* render, int16_t* out, uint32_t frames, bool stopAtSongEnd) {
    uint32_t written = 0;
    while (written < frames) {
        if (render->pcmOffset == render->blockFrames) mixNextBlock(*render);
        uint64_t position = render->blockStartFrame + render->pcmOffset;
        uint32_t available = render->blockFrames - render->pcmOffset;
        if (stopAtSongEnd && render->songEndFrame != NoEnd) {
            if (position >= render->songEndFrame) break;
            if (render->songEndFrame - position < available) available = uint32_t(render->songEndFrame - position);
        }
        uint32_t take = frames - written < available ? frames - written : available;
        std::memcpy(out + size_t(written) * 2, render->pcmBlock + size_t(render->pcmOffset) * 2, size_t(take) * 4);
        written += take;
        render->pcmOffset += take;
    }
    return written;
}

bool SongRender::songEnded(const SongRender* render) { return render->songEndFrame != NoEnd; }

void SongRender::close(SongRender* render) {
    if (!render) return;
    freeModule(render->module);
    std::free(render->floatBlock);
    std::free(render->pcmBlock);
    delete render;
}

bool renderSong(const uint8_t* image, uint32_t size, uint64_t maxFrames, bool stopAtSongEnd,
                std::vector<int16_t>& pcm, std::vector<SongTick>* timeline, const char** error) {
    SongRender* render = SongRender::open(image, size, error);
    if (!render) return false;
    render->timeline = timeline;
    const uint32_t chunk = 65536;
    uint64_t done = 0;
    while (done < maxFrames) {
        uint32_t want = maxFrames - done < chunk ? uint32_t(maxFrames - done) : chunk;
        size_t at = pcm.size();
        pcm.resize(at + size_t(want) * 2);
        uint32_t got = SongRender::render(render, pcm.data() + at, want, stopAtSongEnd);
        pcm.resize(at + size_t(got) * 2);
        done += got;
        if (got < want) break;
    }
    SongRender::close(render);
    return true;
}
