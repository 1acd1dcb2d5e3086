#include "platform/web/WebAudioDevice.h"

#include "platform/web/WebPage.h"

// The context plays the stream in pieces of at most this many bytes (2048 frames, 46 ms): each
// one's end is the next refill pass, so the passes come a few dozen times a second.
static constexpr uint32_t pieceBytes = 2048 * 4;

WebAudioDevice::~WebAudioDevice() { close(); }

bool WebAudioDevice::open(uint32_t sampleRate) {
    reset();
    return sampleRate > 0 && intro_audio_open(int(sampleRate));
}

bool WebAudioDevice::play(const int16_t* ring, uint32_t ringBytes) {
    reset();
    if (ring == nullptr || ringBytes < 8) return false;
    ring_ = ring;
    ringBytes_ = ringBytes & ~3u;
    queued_ = 0;
    played_ = 0;
    intro_audio_play(piecePlayed, this);
    queueAhead();
    return true;
}

bool WebAudioDevice::refillBySelf(RefillPass pass, void* player) {
    pass_ = pass;
    player_ = player;
    return true;
}

uint64_t WebAudioDevice::bytesPlayed() {
    if (ring_ == nullptr) return played_;
    uint64_t bytes = uint64_t(intro_audio_played()) * 4;
    if (bytes > played_) played_ = bytes;
    return played_;
}

void WebAudioDevice::piecePlayed(void* device) {
    WebAudioDevice& self = *static_cast<WebAudioDevice*>(device);
    if (self.ring_ == nullptr) return;
    if (self.pass_) self.pass_(self.player_);
    self.queueAhead();
}

void WebAudioDevice::queueAhead() {
    // After a pass the ring holds final sound from the played position on for a whole ring less
    // the block being played; half a ring is safely inside that.
    uint64_t limit = played_ + (ringBytes_ / 2 & ~3u);
    // Whatever was due before now was never queued in time: the context played silence for it.
    if (queued_ < played_) queued_ = played_;
    while (queued_ < limit) {
        uint32_t offset = uint32_t(queued_ % ringBytes_);
        uint64_t bytes = limit - queued_;
        if (bytes > ringBytes_ - offset) bytes = ringBytes_ - offset;
        if (bytes > pieceBytes) bytes = pieceBytes;
        intro_audio_queue(ring_ + offset / 2, int(bytes / 4), double(queued_ / 4));
        queued_ += bytes;
    }
}

void WebAudioDevice::reset() {
    if (ring_ != nullptr) intro_audio_stop();
    ring_ = nullptr;
    ringBytes_ = 0;
    pass_ = nullptr;
    player_ = nullptr;
}

void WebAudioDevice::close() { reset(); }
