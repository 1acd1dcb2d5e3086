#pragma once
#include <cstdint>
#include <vector>

#include "music/Channel.h"
#include "music/Mixer.h"
#include "music/Module.h"
#include "music/SongEnd.h"

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
    float* floatBlock;         // blockFrames x 2
    int16_t* pcmBlock;         // blockFrames x 2
    uint32_t pcmOffset;        // frames of pcmBlock already handed out
    uint64_t blockStartFrame;  // output frame of pcmBlock's first frame
    uint64_t nextBlockFrame;   // output frame of the next block to mix
    uint64_t songEndFrame;     // first frame past the song's last pass; ~0 until it is known
    uint32_t passes;           // times through the song before it ends (1 after open; 0: endless)
    uint32_t passesDone;
    SongEnd end;
    std::vector<SongTick>* timeline;  // receives one entry per tick of the song when not null

    // Loads image and prepares playback from order 0. Null on failure, with *error (when given)
    // naming the reason.
    static SongRender* open(const uint8_t* image, uint32_t size, const char** error = nullptr);

    // Writes up to frames frames to out (2 x frames int16 values). With stopAtSongEnd, stops at
    // the song's end (see SongEnd) after `passes` passes: the first pass plays the song up to
    // where it would repeat itself, each further one plays its loop once more. Returns the frames
    // written; fewer than asked only at the song end.
    static uint32_t render(SongRender* render, int16_t* out, uint32_t frames, bool stopAtSongEnd);

    // True once the song's end has been reached.
    static bool songEnded(const SongRender* render);

    // The frames render with stopAtSongEnd gives for image over `passes` passes, at most
    // maxFrames, found by running the sequencer alone (no mixing). False (with *error) when the
    // image cannot be played.
    static bool measure(const uint8_t* image, uint32_t size, uint32_t passes, uint64_t maxFrames, uint64_t& frames,
                        const char** error = nullptr);

    static void close(SongRender* render);
};

// Renders image from its start: at most maxFrames frames, stopping at the song's end when
// stopAtSongEnd is set. Appends the PCM to pcm and, when timeline is given, one SongTick per
// sequencer tick. False (with *error) when the image cannot be played.
bool renderSong(const uint8_t* image, uint32_t size, uint64_t maxFrames, bool stopAtSongEnd, std::vector<int16_t>& pcm,
                std::vector<SongTick>* timeline = nullptr, const char** error = nullptr);
