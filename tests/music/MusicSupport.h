#pragma once
#include <cstdint>
#include <vector>

#include "music/Module.h"
#include "music/SongRender.h"
#include "tools/common/XmWriter.h"

// Builders for the small modules the music tests play.

// A song of one pattern (rows x channels) at the given speed and tempo, linear frequencies.
XmSong makeSong(uint16_t channels, uint16_t rows = 64, uint16_t speed = 6, uint16_t tempo = 125);

// An instrument with one sample whose every note maps to it.
XmInstrument makeInstrument(const XmSample& sample);

// An 8-bit sample of length values, value i = (i * 7) % 200 - 100, with the given loop.
XmSample makeSample(uint32_t length, XmLoop loop = XmLoop::None, uint32_t loopStart = 0, uint32_t loopLength = 0);

// Loads an image through the memory stream (installing it if needed); null on failure.
Module* loadImage(const std::vector<uint8_t>& image, const char** error = nullptr);

// A song ready to be ticked by hand: loaded, linked to a mixer at 44100 Hz and its channels,
// reset to order 0. Keeps the image alive.
struct Playback {
    std::vector<uint8_t> image;
    SongRender* render = nullptr;

    explicit Playback(const XmSong& song);
    ~Playback();
    Module& module() { return *render->module; }
    Channel& channel(int n) { return render->channels[n]; }
    // Runs count sequencer ticks.
    void ticks(int count);
};
