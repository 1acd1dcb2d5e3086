#include "music/ModulePlayer.h"

#include <cstdio>

#include "music/AudioOutput.h"
#include "music/ModuleLoader.h"
#include "music/ModuleStream.h"

namespace {

// Never destroyed: the process may end (Escape) while the worker still plays, and a running
// thread object must not be destroyed.
AudioOutput& player = *new AudioOutput();
ModuleImage songImage{nullptr, 0};
Module* song = nullptr;

PositionSnapshot audible(const Module* module) {
    if (!module || !module->output) return PositionSnapshot{0, 0, 0};
    return AudioOutput::position(*module->output);
}

}  // namespace

Module* ModulePlayer::create(AudioDevice* device, AudioDevice* fallback, const uint8_t* image, uint32_t size) {
    if (song) stop();
    ModuleStream::install(MemoryStream::operations());
    if (!AudioOutput::open(player, device, 44100)) {
        std::fprintf(stderr, "no sound device: playing silently\n");
        AudioOutput::open(player, fallback, 44100);
    }
    songImage = ModuleImage{image, size};
    song = loadModule(&songImage);
    return song;
}

bool ModulePlayer::start() {
    if (!song) return false;
    return AudioOutput::start(player, song);
}

void ModulePlayer::stop() {
    AudioOutput::stop(&player);
    freeModule(song);
    song = nullptr;
    AudioOutput::close(player);
}

int32_t ModulePlayer::currentOrder(const Module* module) { return audible(module).order; }

int32_t ModulePlayer::currentRow(const Module* module) { return audible(module).row; }

int32_t ModulePlayer::elapsedMs(const Module* module) { return audible(module).elapsedMs; }

const Module* ModulePlayer::heldSong() { return song; }
