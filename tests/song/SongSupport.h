#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "music/SongRender.h"
#include "tools/common/XmWriter.h"

// Shared by the song tests: the embedded song rendered once by our player, and the song source
// parsed and built by the generator.

struct RenderedSong {
    std::vector<int16_t> pcm;        // interleaved stereo, 44100 Hz, up to the song's loop
    std::vector<SongTick> timeline;  // one entry per sequencer tick
    float floatPeak = 0;             // largest magnitude the mixer produced before 16-bit conversion
    bool ok = false;
};

// The embedded song played from its start to its loop point (computed once per test program).
const RenderedSong& embeddedSongRender();

// The first output frame at which the song plays order `order` (0 if never reached).
uint64_t firstFrameOfOrder(const RenderedSong& song, int order);

// RMS level in dBFS (full scale 32767) of frames [begin, end) of one side (0 left, 1 right,
// 2 both together).
double rmsDbfs(const std::vector<int16_t>& pcm, uint64_t begin, uint64_t end, int side);

// Every *.song file of the song source, in build order, read as text.
bool readSongSources(std::vector<std::string>& names, std::vector<std::string>& texts);
