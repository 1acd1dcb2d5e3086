#include "platform/headless/SteppedAudioDevice.h"

void SteppedAudioDevice::setSink(Sink sink, void* user) {
    sink_ = sink;
    sinkUser_ = user;
}

bool SteppedAudioDevice::open(uint32_t sampleRate) {
    reset();
    return sampleRate > 0;
}

bool SteppedAudioDevice::play(const int16_t* ring, uint32_t ringBytes) {
    ring_ = ring;
    ringBytes_ = ring ? ringBytes & ~3u : 0;
    played_ = 0;
    return ringBytes_ > 0;
}

bool SteppedAudioDevice::refillBySelf(RefillPass pass, void* player) {
    pass_ = pass;
    player_ = player;
    return true;
}

uint64_t SteppedAudioDevice::bytesPlayed() { return played_; }

bool SteppedAudioDevice::isPlaying() const { return ringBytes_ > 0; }

void SteppedAudioDevice::advance(uint32_t bytes) {
    if (ringBytes_ == 0) return;
    bytes &= ~3u;
    if (bytes > ringBytes_) bytes = ringBytes_;
    uint32_t offset = uint32_t(played_ % ringBytes_);
    for (uint32_t left = bytes; left > 0;) {
        uint32_t chunk = ringBytes_ - offset < left ? ringBytes_ - offset : left;
        if (sink_) sink_(sinkUser_, ring_ + offset / 2, chunk / 4);
        offset = (offset + chunk) % ringBytes_;
        left -= chunk;
    }
    played_ += bytes;
    if (pass_) pass_(player_);
}

void SteppedAudioDevice::reset() {
    ring_ = nullptr;
    ringBytes_ = 0;
    pass_ = nullptr;
    player_ = nullptr;
}

void SteppedAudioDevice::close() { reset(); }
