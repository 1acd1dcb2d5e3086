#pragma once
#include <cstdint>
#include <vector>

#include "music/Channel.h"
#include "music/Mixer.h"
#include "music/Module.h"

// Offline rendering: plays a module image to 44100 Hz interleaved 16-bit stereo without a device
// or a thread, through the same block mixer, sequencer and mixer as live playback (blocks of 884
// frames, so elapsed milliseconds and every sample match what the player streams).

// The song position at one sequencer tick.
struct SongTick {
    uint64_t frame;     // first output frame the tick sounds in
    int32_t order;      // order index after the tick
    int32_t row;        // pattern row after the tick
    int32_t tick;       // tick number within the row (0: the row tick)
    int32_t elapsedMs;  // elapsed song milliseconds when the tick begins
};

struct SongRender {
    Module* module;
    Mixer mixer;
    Channel channels[MaxChannels];
    uint32_t blockFrames;
    float* floatBlock;            // blockFrames x 2
    int16_t* pcmBlock;            // blockFrames x 2
    uint32_t pcmOffset;           // frames of pcmBlock already handed out
    uint64_t blockStartFrame;     // output frame of pcmBlock's first frame
    uint64_t nextBlockFrame;      // output frame of the next block to mix
    uint64_t songEndFrame;        // first frame of the tick that returned to an order already played; ~0 until then
    std::vector<SongTick>* timeline;  // receives one entry per tick when not null

    // Loads image and prepares playback from order 0. Null on failure, with *error (when given)
    // naming the reason.
    static SongRender* open(const uint8_t* image, uint32_t size, const char** error = nullptr);

    // Writes up to frames frames to out (2 x frames int16 values). With stopAtSongEnd, stops at
    // the first tick that goes back to an order already played (the song's loop). Returns the
    // frames written; fewer than asked only at the song end.
    static uint32_t render(SongRender* render, int16_t* out, uint32_t frames, bool stopAtSongEnd);

    // True once the song has gone back to an order it had already played.
    static bool songEnded(const SongRender* render);

    static void close(SongRender* render);
};

// Renders image from its start: at most maxFrames frames, stopping at the song's loop when
// stopAtSongEnd is set. Appends the PCM to pcm and, when timeline is given, one SongTick per
// sequencer tick. False (with *error) when the image cannot be played.
bool renderSong(const uint8_t* image, uint32_t size, uint64_t maxFrames, bool stopAtSongEnd,
                std::vector<int16_t>& pcm, std::vector<SongTick>* timeline = nullptr, const char** error = nullptr);
