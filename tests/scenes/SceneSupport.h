#pragma once
#include <cstdint>
#include <vector>

#include "platform/headless/VirtualAudioDevice.h"

struct Bitmap;

// Puts the process-wide player at a chosen song position, for Scenes that time their captions by
// ModulePlayer::currentOrder and ModulePlayer::currentRow.
//
// The player runs a silent ten-order test song of 64-row patterns on the virtual sound device, at
// speed 2 and tempo 125: one tick is 20 ms, one audio block, so every row lasts exactly two blocks
// and seeking moves the audible position one block at a time.
struct SongPosition {
    VirtualAudioDevice device;
    std::vector<uint8_t> image;

    // Creates and starts the player.
    SongPosition();
    // Stops the player and frees the song.
    ~SongPosition();

    // Advances the device until the audible position is (order, row); false if it is never reached.
    bool seek(int32_t order, int32_t row);
};

// The number of pixels of bitmap that differ from colour.
int64_t pixelsNotEqualTo(const Bitmap& bitmap, uint32_t colour);

// The number of pixels of the rectangle (x, y, width, height), clipped to bitmap, that differ from
// colour.
int64_t pixelsNotEqualToIn(const Bitmap& bitmap, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour);
