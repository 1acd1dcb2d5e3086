#pragma once
#include <cstdint>

#include "music/Module.h"

// Plays a Module's order table row by row and tick by tick, driving the channels linked to it
// (module.channelTable, module.mixer). Runs on the mixing thread only.
struct Sequencer {
    // One tick: a row tick when the tick counter is 0, otherwise an effect tick; every channel is
    // committed to the mixer at its end.
    static void tick(Module* module);

    // Stores tempo and sets frames per tick = trunc(1000 / (tempo * 0.4) * rate * 0.001)
    // (1102 at tempo 100, 882 at tempo 125, at 44100 Hz).
    static void setTempo(Module* module, int32_t tempo);
    // That number of frames for a tempo of at least 1, in whole-number arithmetic.
    static uint32_t framesPerTick(int32_t tempo, uint32_t rate);

    // Puts the song back at order 0, row 0 with its default speed, tempo and global volume.
    // Needs module.mixer linked (for the rate).
    static void reset(Module* module);

    // The period-table value (without the linear flag) of played note n with finetune f.
    static int32_t tablePeriod(int32_t note, int32_t finetune);
};
