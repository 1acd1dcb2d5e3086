#include "show/FrameClock.h"

#include "music/ModulePlayer.h"

void FrameClock::start(const Module* song) {
    module = song;
    origin = static_cast<uint32_t>(ModulePlayer::elapsedMs(module));
}

uint32_t FrameClock::now() const { return static_cast<uint32_t>(ModulePlayer::elapsedMs(module)) - origin; }
