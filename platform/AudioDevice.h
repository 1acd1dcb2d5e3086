#pragma once
#include <chrono>
#include <cstdint>
#include <thread>

// What the music player needs from a sound device: play one ring of interleaved signed 16-bit
// stereo endlessly from its start, and tell how many bytes of it have been played (heard) since.
// Backends: SDL2 audio, a silent clock for machines without sound, and a virtual device that a
// driver advances by hand (headless runs, capture, tests).
//
// The player refills the ring in passes: poll bytesPlayed, mix into every block played since.
// Normally its mixing worker thread runs a pass every few milliseconds. A device that has a clock
// of its own to run them on (a browser's audio events, a test's hand on a stepped device) can run
// the passes itself instead, and the player then starts no thread at all.
//
// open, play, reset, close and refillBySelf are called from the thread that owns the player;
// bytesPlayed, prepareWorker and idle from the player's mixing worker (or from the device's own
// passes).
class AudioDevice {
public:
    // One refill pass of the player; player is the pointer handed to refillBySelf.
    using RefillPass = void (*)(void* player);

    // Opens the device for 16-bit stereo at sampleRate frames per second; false on failure.
    virtual bool open(uint32_t sampleRate) = 0;
    // Starts playing ring (ringBytes bytes, a whole number of frames) from its first byte, wrapping
    // to the start forever. The ring stays owned by the caller and is read while playing; the
    // caller rewrites only the part that has been played since its last bytesPlayed call.
    virtual bool play(const int16_t* ring, uint32_t ringBytes) = 0;
    // Bytes played since play started; never decreases while playing.
    virtual uint64_t bytesPlayed() = 0;
    // Stops playback; the ring is no longer read afterwards.
    virtual void reset() = 0;
    // Closes the device; safe after a failed open and a second time.
    virtual void close() = 0;

    // Asked right after play: true when the device will run pass(player) itself, on the owner's
    // thread, whenever some of the ring has been played, ahead of the ring running dry, until reset.
    // False (the default): the player starts its worker thread to run the passes.
    virtual bool refillBySelf(RefillPass, void*) { return false; }

    // Called on the mixing worker as it starts: a device may raise the thread's priority.
    virtual void prepareWorker() {}
    // The worker's pause between two position polls. The default sleeps; a device driven by hand
    // may return as soon as its position has moved.
    virtual void idle(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

protected:
    ~AudioDevice() = default;
};
