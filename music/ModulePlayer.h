#pragma once
#include <cstdint>

struct Module;
class AudioDevice;

// The player front the show calls. Process-wide: one player, one device, one song.
struct ModulePlayer {
    // Opens device at 44100 Hz, or, when it is null or fails to open, fallback (the silent clock the
    // program hands in, so the song position still follows real time), saying so on stderr; loads
    // the song image. Returns the Module or null. With neither device open, start refuses.
    static Module* create(AudioDevice* device, AudioDevice* fallback, const uint8_t* image, uint32_t size);
    // Plays the song from its beginning; false when there is no song or no open device.
    static bool start();
    // Stops playback, frees the song and closes the device.
    static void stop();
    // The audible order index, pattern row and elapsed song milliseconds (at the end of the block
    // now sounding); 0 for a null module.
    static int32_t currentOrder(const Module* module);
    static int32_t currentRow(const Module* module);
    static int32_t elapsedMs(const Module* module);

    // The song the player holds now (null before create and after stop), and the audible order and
    // row of that song: what the Scenes read to time their captions.
    static const Module* heldSong();
    static int32_t currentOrder() { return currentOrder(heldSong()); }
    static int32_t currentRow() { return currentRow(heldSong()); }
};
