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

// Follows the song's end after a tick that began at frame start; returns the end frame once known.
uint64_t followEnd(SongRender& render, const Module& module, uint64_t start, int32_t tick) {
    if (render.songEndFrame != NoEnd) return render.songEndFrame;
    if (module.songLength == 0) return render.songEndFrame = 0;  // no order to play
    SongEnd::Verdict verdict = SongEnd::afterTick(render.end, module, tick);
    if (verdict == SongEnd::Stopped) {
        render.songEndFrame = start + (module.framesPerTick ? module.framesPerTick : 1);
    } else if (verdict == SongEnd::Repeats) {
        if (render.passes != 0 && ++render.passesDone >= render.passes)
            render.songEndFrame = start;
        else
            SongEnd::nextPass(render.end);
    }
    return render.songEndFrame;
}

void observeTick(void* user, const Module& module, uint32_t frame, int32_t tick) {
    SongRender& render = *static_cast<SongRender*>(user);
    uint64_t absolute = render.blockStartFrame + frame;
    uint64_t endFrame = followEnd(render, module, absolute, tick);
    if (render.timeline && absolute < endFrame)
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
    render->passes = 1;
    render->passesDone = 0;
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

bool SongRender::measure(const uint8_t* image, uint32_t size, uint32_t passes, uint64_t maxFrames, uint64_t& frames,
                         const char** error) {
    SongRender* render = open(image, size, error);
    if (!render) return false;
    render->passes = passes;
    Module& module = *render->module;
    uint64_t start = 0;
    // Tick by tick as the block mixer runs them: each lasts the frames per tick it leaves behind.
    while (start < maxFrames) {
        int32_t tick = module.tickCounter;
        module.tickHandler(&module);
        if (followEnd(*render, module, start, tick) != NoEnd) break;
        start += module.framesPerTick ? module.framesPerTick : 1;
    }
    frames = render->songEndFrame < maxFrames ? render->songEndFrame : maxFrames;
    close(render);
    return true;
}

void SongRender::close(SongRender* render) {
    if (!render) return;
    freeModule(render->module);
    std::free(render->floatBlock);
    std::free(render->pcmBlock);
    delete render;
}

bool renderSong(const uint8_t* image, uint32_t size, uint64_t maxFrames, bool stopAtSongEnd, std::vector<int16_t>& pcm,
                std::vector<SongTick>* timeline, const char** error) {
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
