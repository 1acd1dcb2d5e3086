#include "platform/win32/WaveOutAudioDevice.h"

// windows.h must come first: mmsystem.h builds on its types.
#include <windows.h>

#include <mmsystem.h>

WaveOutAudioDevice::~WaveOutAudioDevice() { close(); }

bool WaveOutAudioDevice::open(uint32_t sampleRate) {
    close();
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = sampleRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = sampleRate * 4;
    HWAVEOUT opened = nullptr;
    if (waveOutOpen(&opened, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
    device = opened;
    bytesPerSecond = sampleRate * 4;
    return true;
}

bool WaveOutAudioDevice::play(const int16_t* ring, uint32_t ringBytes) {
    if (device == nullptr || ring == nullptr || ringBytes == 0) return false;
    reset();
    WAVEHDR* ringHeader = new WAVEHDR{};
    ringHeader->lpData = reinterpret_cast<LPSTR>(const_cast<int16_t*>(ring));
    ringHeader->dwBufferLength = ringBytes;
    ringHeader->dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    ringHeader->dwLoops = 0xFFFFFFFF;
    if (waveOutPrepareHeader(device, ringHeader, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        delete ringHeader;
        return false;
    }
    header = ringHeader;
    PlayedBytes::reset(played);
    if (waveOutWrite(device, ringHeader, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        reset();
        return false;
    }
    return true;
}

uint64_t WaveOutAudioDevice::bytesPlayed() {
    if (device == nullptr || header == nullptr) return played.total;
    MMTIME time = {};
    time.wType = TIME_BYTES;
    if (waveOutGetPosition(device, &time, sizeof(time)) != MMSYSERR_NOERROR) return played.total;
    // A driver may answer in another unit than the one asked for.
    uint32_t bytes = 0;
    switch (time.wType) {
    case TIME_BYTES: bytes = time.u.cb; break;
    case TIME_SAMPLES: bytes = time.u.sample * 4; break;
    case TIME_MS: bytes = uint32_t(uint64_t(time.u.ms) * bytesPerSecond / 1000) & ~3u; break;
    default: return played.total;
    }
    return PlayedBytes::advance(played, bytes);
}

void WaveOutAudioDevice::reset() {
    if (device == nullptr) return;
    waveOutReset(device);
    if (header != nullptr) {
        WAVEHDR* ringHeader = static_cast<WAVEHDR*>(header);
        waveOutUnprepareHeader(device, ringHeader, sizeof(WAVEHDR));
        delete ringHeader;
        header = nullptr;
    }
}

void WaveOutAudioDevice::close() {
    if (device == nullptr) return;
    reset();
    waveOutClose(device);
    device = nullptr;
}

void WaveOutAudioDevice::prepareWorker() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL); }

void WaveOutAudioDevice::idle(uint32_t milliseconds) { Sleep(milliseconds); }
