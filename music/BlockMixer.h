#pragma once
#include <cstdint>

#include "music/Module.h"

// Called after every sequencer tick during mixSongFrames: frame is the index (within the call)
// of the first frame the tick sounds in; tick is the tick number within its row.
struct TickObserver {
    void (*onTick)(void* user, const Module& module, uint32_t frame, int32_t tick);
    void* user;
};

// Clears out (2 x frames floats, interleaved left/right) and mixes frames frames of module, which
// must be linked to its channels and mixer: the sequencer ticks each time a tick's worth of frames
// has been mixed, and the elapsed milliseconds grow by the truncated length of every run between
// ticks. The frames left in the current tick carry over to the next call.
void mixSongFrames(Module& module, float* out, uint32_t frames, const TickObserver* observer = nullptr);
