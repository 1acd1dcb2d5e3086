#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/AudioDevice.h"

// A sound device whose play position moves only when its driver says so. Every byte the position
// passes over is handed to a sink (a capture writes them to a file), so playback from start to end
// is deterministic and can run faster than real time.
//
// Driving it: after the player has started, call advance(bytes) repeatedly. advance returns once
// the player's worker has polled the new position, refilled what was played and gone idle again,
// so the next advance sees a fully refilled ring.
class VirtualAudioDevice final : public AudioDevice {
public:
    // Receives frames frames of interleaved 16-bit stereo; called on the driver's thread, inside
    // advance.
    using Sink = std::function<void(const int16_t* samples, uint32_t frames)>;

    explicit VirtualAudioDevice(Sink sink = {}) : sink_(std::move(sink)) {}

    void setSink(Sink sink);
    // Makes the next open calls fail (to exercise the fallback of a missing device).
    void setOpenFails(bool fails);

    // Moves the position on by bytes (whole frames; at most one ring), hands the bytes passed over
    // to the sink, then waits up to timeout for the worker to catch up. True when it caught up
    // (or nothing is playing).
    bool advance(uint32_t bytes, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

    bool isPlaying();

    // Starves the worker, as a busy machine would: from its next pause on it does not come back
    // to poll until releaseWorker. advance meanwhile moves the position without it (pass a zero
    // timeout; the device goes on sounding whatever the ring holds).
    void holdWorker();
    // Lets the worker run again and waits up to timeout until it has polled the position and
    // gone idle; true when it did.
    bool releaseWorker(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

    bool open(uint32_t sampleRate) override;
    bool play(const int16_t* ring, uint32_t ringBytes) override;
    uint64_t bytesPlayed() override;
    void reset() override;
    void close() override;
    void idle(uint32_t milliseconds) override;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    Sink sink_;
    bool openFails_ = false;
    bool playing_ = false;
    bool held_ = false;
    const int16_t* ring_ = nullptr;
    uint32_t ringBytes_ = 0;
    uint64_t played_ = 0;
    uint64_t generation_ = 0;        // advances so far
    uint64_t polledGeneration_ = 0;  // the generation the worker saw at its last poll
    uint64_t idleGeneration_ = 0;    // the generation the worker has finished refilling for
};
