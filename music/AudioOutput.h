#pragma once
#include <atomic>
#include <cstdint>
#include <thread>

#include "music/Channel.h"
#include "music/Mixer.h"
#include "music/Module.h"

class AudioDevice;

// Where the song stands at the end of one block: order index, row (low bytes) and elapsed
// milliseconds.
struct PositionSnapshot {
    uint8_t order;
    uint8_t row;
    int32_t elapsedMs;
};

// Streams a song to an AudioDevice: a ring of 100 blocks of 16-bit stereo that the device plays
// endlessly, and a worker thread that refills each block as soon as the device has played it,
// recording for every block where in the song it ends. A device that runs the refill passes itself
// (AudioDevice::refillBySelf) gets no worker: its passes do the worker's work.
//
// Blocks are counted from the start of playback (block j sits in ring slot j % blockCount), and
// the device's position is its never-decreasing byte count, so a stall of any length is seen for
// what it is. When the worker finds that the device has played past everything mixed (it was
// starved longer than the ring lasts, or the whole process was stopped), the device has sounded
// stale blocks meanwhile; the worker then sequences and mixes the blocks that were due in that
// time without writing them to the ring, so the song position and every voice stand where real
// time says they should, and refills the ring from the block after the one now playing.
//
// Threads: open, start, stop and close run on the owner's thread; after start the sequencer and
// the mixer run only on the worker. The owner reads the audible position with position() without
// a lock. The stop request, mixing-in-progress and worker-exited flags and the read index are the
// only state both threads touch besides the snapshots (each one atomic 64-bit word).
struct AudioOutput {
    AudioDevice* device = nullptr;
    bool opened = false;
    uint32_t rate = 0;
    float rateReciprocal = 0.0f;
    uint32_t blockFrames = 0;  // B = (rate * 20 / 1000 + 3) rounded down to a multiple of 4
    uint32_t ringFrames = 0;   // (1000 / 20) * B * 2
    uint32_t blockCount = 0;   // ringFrames / B
    Mixer mixer{};
    Channel channels[MaxChannels]{};
    Module* song = nullptr;  // the song being mixed, null when stopped

    int16_t* ring = nullptr;
    float* blockBuffer = nullptr;  // 16-byte aligned, ringFrames x 2 floats
    void* blockAllocation = nullptr;
    std::atomic<uint64_t>* snapshots = nullptr;  // one packed PositionSnapshot per block
    uint64_t mixedBlocks = 0;  // blocks mixed since start; the next one goes into slot mixedBlocks % blockCount
    std::atomic<uint32_t> readIndex{0};  // the ring slot of the block now audible
    std::atomic<uint8_t> stopRequest{0};
    std::atomic<uint8_t> mixing{0};
    std::atomic<uint8_t> workerExited{1};
    std::thread worker;
    bool workerStarted = false;

    // Opens device at rate: derives the block and ring lengths and clears the voice table.
    // Refuses (false) unless the module stream operations are installed; false when the device
    // does not open (the output then stays unopened and start refuses).
    static bool open(AudioOutput& output, AudioDevice* device, uint32_t rate);

    // Plays song from its beginning: resets it, links it to the channels and voices, pre-mixes the
    // whole ring, starts the device and the worker. False for a null song or an unopened output.
    static bool start(AudioOutput& output, Module* song);

    // Stops the worker and the device and releases the buffers; the song is no longer mixed.
    // Safe to call again and on a null output.
    static void stop(AudioOutput* output);

    // Stops, then closes the device.
    static void close(AudioOutput& output);

    // Mixes block mixedBlocks and writes its snapshot; converts it into its ring slot when intoRing
    // is set (otherwise the block's time has passed unheard and only the song moves on).
    static void mixBlock(AudioOutput& output, bool intoRing);

    // The worker's work after one poll of the device, playedFrames being the frames it has played
    // since start. Normally: points the reader at the audible block and refills every slot played
    // since. When the device has reached a block not mixed yet, it instead catches the song up to
    // the end of that block and returns true: the caller polls again at once, since catching up
    // takes time of its own.
    static bool refill(AudioOutput& output, uint64_t playedFrames);

    // One pass of the worker: polls the device and refills, again at once while it was catching up.
    static void pass(AudioOutput& output);

    // The snapshot of the block now audible (all zero when nothing plays).
    static PositionSnapshot position(const AudioOutput& output);
};
