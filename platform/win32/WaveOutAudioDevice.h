#pragma once
#include <cstdint>

#include "platform/AudioDevice.h"
#include "platform/common/PlayedBytes.h"

struct HWAVEOUT__;

// Sound through the Windows multimedia wave output: the default device (the wave mapper) at 16-bit
// stereo, the ring played as one looping header (begin and end loop, endless loop count), the
// played position read with waveOutGetPosition in bytes and carried past its 32-bit wrap. The mixing
// worker runs at time-critical priority.
class WaveOutAudioDevice final : public AudioDevice {
public:
    ~WaveOutAudioDevice();

    bool open(uint32_t sampleRate) override;
    bool play(const int16_t* ring, uint32_t ringBytes) override;
    uint64_t bytesPlayed() override;
    void reset() override;
    void close() override;
    void prepareWorker() override;
    void idle(uint32_t milliseconds) override;

private:
    HWAVEOUT__* device = nullptr;
    void* header = nullptr;  // the ring's WAVEHDR while prepared
    uint32_t bytesPerSecond = 176400;
    PlayedBytes played;
};
