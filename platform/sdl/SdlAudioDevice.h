#pragma once
#include <atomic>
#include <cstdint>

#include "platform/AudioDevice.h"

// SDL2 audio: a callback copies the ring into SDL's 1024-frame buffers, wrapping at its end, and
// counts the bytes handed over. The position reported is that count less one device buffer (what
// is audible now), never decreasing.
class SdlAudioDevice final : public AudioDevice {
public:
    ~SdlAudioDevice();

    bool open(uint32_t sampleRate) override;
    bool play(const int16_t* ring, uint32_t ringBytes) override;
    uint64_t bytesPlayed() override;
    void reset() override;
    void close() override;
    // Raises the worker to the highest priority SDL grants (quietly keeping it when refused).
    void prepareWorker() override;

private:
    // SDL's audio callback (SDL's Uint8 is uint8_t).
    static void callback(void* user, uint8_t* stream, int length);

    uint32_t device_ = 0;  // SDL's audio device id; 0 while closed
    uint32_t bufferBytes_ = 4096;
    const uint8_t* ring_ = nullptr;  // guarded by SDL's device lock
    uint32_t ringBytes_ = 0;
    uint32_t cursor_ = 0;
    std::atomic<uint64_t> handedOver_{0};
    std::atomic<uint64_t> polls_{0};  // orders the worker's ring writes before the callback's reads
    uint64_t lastReported_ = 0;
};
