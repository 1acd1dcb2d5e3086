#include "music/AudioOutput.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "music/BlockMixer.h"
#include "music/ModuleStream.h"
#include "music/Sequencer.h"
#include "platform/AudioDevice.h"

namespace {

constexpr uint32_t BufferMilliseconds = 1000;
constexpr uint32_t BlockMilliseconds = 20;
constexpr uint32_t BytesPerFrame = 4;

uint64_t packSnapshot(const Module& song) {
    return uint64_t(uint8_t(song.currentOrder)) | (uint64_t(uint8_t(song.currentRow)) << 8) |
           (uint64_t(uint32_t(song.elapsedMs)) << 16);
}

PositionSnapshot unpackSnapshot(uint64_t value) {
    return PositionSnapshot{uint8_t(value), uint8_t(value >> 8), int32_t(uint32_t(value >> 16))};
}

void workerLoop(AudioOutput* output) {
    AudioOutput& out = *output;
    out.device->prepareWorker();
    while (!out.stopRequest.load(std::memory_order_acquire)) {
        AudioOutput::pass(out);
        out.device->idle(5);
    }
    out.workerExited.store(1, std::memory_order_release);
}

void devicePass(void* output) { AudioOutput::pass(*static_cast<AudioOutput*>(output)); }

void releaseBuffers(AudioOutput& out) {
    std::free(out.blockAllocation);
    out.blockAllocation = nullptr;
    out.blockBuffer = nullptr;
    if (out.ring && out.device) out.device->reset();
    std::free(out.ring);
    out.ring = nullptr;
    if (out.song) out.song->output = nullptr;
    out.song = nullptr;
    delete[] out.snapshots;
    out.snapshots = nullptr;
}

}  // namespace

bool AudioOutput::open(AudioOutput& output, AudioDevice* device, uint32_t rate) {
    if (!ModuleStream::installed() || !device || rate == 0) return false;
    if (output.device && output.opened) {
        stop(&output);
        output.device->reset();
        output.device->close();
    }
    output.opened = false;
    output.device = device;
    if (!device->open(rate)) return false;
    output.opened = true;
    output.rate = rate;
    output.rateReciprocal = 1.0f / float(rate);
    output.blockFrames = (rate * BlockMilliseconds / 1000 + 3) & ~3u;
    output.ringFrames = (BufferMilliseconds / BlockMilliseconds) * output.blockFrames * 2;
    output.blockCount = output.ringFrames / output.blockFrames;
    Mixer::open(output.mixer, rate);
    output.workerExited.store(1, std::memory_order_release);
    return true;
}

bool AudioOutput::start(AudioOutput& output, Module* song) {
    stop(&output);
    if (!song || !output.opened || output.blockFrames == 0) return false;

    song->mixer = &output.mixer;
    song->channelTable = output.channels;
    Sequencer::reset(song);
    std::memset(output.channels, 0, sizeof(output.channels));
    for (int n = 0; n < MaxChannels; ++n) output.channels[n].voice = &output.mixer.voices[n];
    output.song = song;
    song->output = &output;

    output.snapshots = new std::atomic<uint64_t>[output.blockCount];
    for (uint32_t i = 0; i < output.blockCount; ++i) output.snapshots[i].store(0, std::memory_order_relaxed);
    output.ring = static_cast<int16_t*>(std::calloc(size_t(output.ringFrames) * 2, sizeof(int16_t)));
    size_t floatBytes = size_t(output.ringFrames) * 8 + 256;
    output.blockAllocation = std::calloc(floatBytes + 16, 1);
    uintptr_t aligned = (reinterpret_cast<uintptr_t>(output.blockAllocation) + 15) & ~uintptr_t(15);
    output.blockBuffer = reinterpret_cast<float*>(aligned);

    output.mixedBlocks = 0;
    output.readIndex.store(0, std::memory_order_release);
    while (output.mixedBlocks < output.blockCount) mixBlock(output, true);

    output.device->play(output.ring, output.ringFrames * BytesPerFrame);
    output.stopRequest.store(0, std::memory_order_release);
    if (output.device->refillBySelf(devicePass, &output)) return true;
    // Marked running before the thread exists, so a stop right after start waits for it.
    output.workerExited.store(0, std::memory_order_release);
    output.worker = std::thread(workerLoop, &output);
    output.workerStarted = true;
    return true;
}

void AudioOutput::stop(AudioOutput* output) {
    if (!output) return;
    output->stopRequest.store(1, std::memory_order_release);
    while (output->mixing.load(std::memory_order_acquire)) std::this_thread::yield();
    if (output->workerStarted) {
        while (!output->workerExited.load(std::memory_order_acquire))
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        output->worker.join();
        output->workerStarted = false;
    }
    releaseBuffers(*output);
}

void AudioOutput::close(AudioOutput& output) {
    stop(&output);
    if (output.device) {
        output.device->reset();
        output.device->close();
    }
    output.opened = false;
}

void AudioOutput::mixBlock(AudioOutput& output, bool intoRing) {
    uint32_t k = uint32_t(output.mixedBlocks % output.blockCount);
    float* block = output.blockBuffer + size_t(k) * output.blockFrames * 2;
    mixSongFrames(*output.song, block, output.blockFrames);
    output.snapshots[k].store(packSnapshot(*output.song), std::memory_order_release);
    if (intoRing) Mixer::toPcm16(output.ring + size_t(k) * output.blockFrames * 2, block, int32_t(output.blockFrames));
    ++output.mixedBlocks;
}

bool AudioOutput::refill(AudioOutput& output, uint64_t playedFrames) {
    uint64_t playing = playedFrames / output.blockFrames;
    if (playing >= output.mixedBlocks) {
        // Starved for longer than the ring lasts: the device has been sounding old blocks. The
        // blocks due meanwhile, up to the one playing now, are sequenced and mixed unheard. Every
        // snapshot written on the way lies between the last one read and the audible one, so the
        // reader, still on its old slot, never sees the song go back.
        while (output.mixedBlocks <= playing && !output.stopRequest.load(std::memory_order_acquire)) {
            output.mixing.store(1, std::memory_order_release);
            mixBlock(output, false);
            output.mixing.store(0, std::memory_order_release);
        }
        if (output.mixedBlocks > playing)
            output.readIndex.store(uint32_t(playing % output.blockCount), std::memory_order_release);
        return true;
    }
    // The ring holds blocks mixedBlocks - blockCount up to mixedBlocks - 1, the audible one among
    // them. The reader moves to it before any slot it may be reading is rewritten.
    output.readIndex.store(uint32_t(playing % output.blockCount), std::memory_order_release);
    while (output.mixedBlocks < playing + output.blockCount && !output.stopRequest.load(std::memory_order_acquire)) {
        output.mixing.store(1, std::memory_order_release);
        mixBlock(output, true);
        output.mixing.store(0, std::memory_order_release);
    }
    return false;
}

void AudioOutput::pass(AudioOutput& output) {
    while (!output.stopRequest.load(std::memory_order_acquire) &&
           refill(output, output.device->bytesPlayed() / BytesPerFrame)) {}
}

PositionSnapshot AudioOutput::position(const AudioOutput& output) {
    if (!output.snapshots) return PositionSnapshot{0, 0, 0};
    for (;;) {
        uint32_t index = output.readIndex.load(std::memory_order_acquire);
        uint64_t value = output.snapshots[index].load(std::memory_order_acquire);
        if (output.readIndex.load(std::memory_order_acquire) == index) return unpackSnapshot(value);
    }
}
