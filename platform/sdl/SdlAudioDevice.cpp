#include "platform/sdl/SdlAudioDevice.h"

#include <SDL.h>

#include <cstring>

#include "platform/sdl/QuietStderr.h"

SdlAudioDevice::~SdlAudioDevice() { close(); }

bool SdlAudioDevice::open(uint32_t sampleRate) {
    close();
    QuietStderr quiet;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec wanted{};
    wanted.freq = int(sampleRate);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = callback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device_ == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    bufferBytes_ = uint32_t(obtained.samples) * 4;
    return true;
}

bool SdlAudioDevice::play(const int16_t* ring, uint32_t ringBytes) {
    if (device_ == 0) return false;
    SDL_LockAudioDevice(device_);
    ring_ = reinterpret_cast<const uint8_t*>(ring);
    ringBytes_ = ringBytes;
    cursor_ = 0;
    handedOver_.store(0, std::memory_order_release);
    lastReported_ = 0;
    SDL_UnlockAudioDevice(device_);
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void SdlAudioDevice::callback(void* user, uint8_t* stream, int length) {
    SdlAudioDevice& self = *static_cast<SdlAudioDevice*>(user);
    self.polls_.load(std::memory_order_acquire);
    if (!self.ring_ || self.ringBytes_ == 0) {
        std::memset(stream, 0, size_t(length));
        return;
    }
    uint32_t left = uint32_t(length);
    while (left > 0) {
        uint32_t chunk = self.ringBytes_ - self.cursor_;
        if (chunk > left) chunk = left;
        std::memcpy(stream, self.ring_ + self.cursor_, chunk);
        stream += chunk;
        left -= chunk;
        self.cursor_ = (self.cursor_ + chunk) % self.ringBytes_;
    }
    self.handedOver_.fetch_add(uint64_t(length), std::memory_order_release);
}

uint64_t SdlAudioDevice::bytesPlayed() {
    polls_.fetch_add(1, std::memory_order_release);
    uint64_t handed = handedOver_.load(std::memory_order_acquire);
    uint64_t audible = handed > bufferBytes_ ? handed - bufferBytes_ : 0;
    if (audible > lastReported_) lastReported_ = audible;
    return lastReported_;
}

void SdlAudioDevice::reset() {
    if (device_ == 0) return;
    SDL_PauseAudioDevice(device_, 1);
    SDL_LockAudioDevice(device_);
    ring_ = nullptr;
    ringBytes_ = 0;
    SDL_UnlockAudioDevice(device_);
}

void SdlAudioDevice::close() {
    if (device_ == 0) return;
    reset();
    SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    device_ = 0;
}

void SdlAudioDevice::prepareWorker() {
    if (SDL_SetThreadPriority(SDL_THREAD_PRIORITY_TIME_CRITICAL) != 0) SDL_SetThreadPriority(SDL_THREAD_PRIORITY_HIGH);
}
