#include "app/web/Check.h"

#include <emscripten.h>

#include <cinttypes>
#include <cstdio>
#include <vector>

#include "assets/Song.h"
#include "music/ModulePlayer.h"
#include "platform/DisplayBackend.h"
#include "platform/headless/SteppedAudioDevice.h"
#include "show/Show.h"
#include "tools/programs/capture/FrameSchedule.h"
#include "tools/programs/capture/StreamHash.h"

namespace {

// Frames between two turns of the page, so that it stays responsive while the check runs.
constexpr uint64_t framesPerTurn = 25;

// A screen that keeps its frames in memory in the Framebuffer's own layout: each flip after the
// song has started is a frame of the show, hashed, and moves the song clock to the next frame.
class CheckDisplay final : public DisplayBackend {
public:
    explicit CheckDisplay(SteppedAudioDevice& audio) : audio_(audio) {}

    bool openScreen(const char*, int32_t width, int32_t height) override {
        width_ = width;
        pixels_.assign(size_t(width) * size_t(height), 0);
        return true;
    }
    int32_t offeredFormats(SurfaceFormat* formats, int32_t capacity) override {
        if (capacity < 1) return 0;
        formats[0] = SurfaceFormat{32, 0xFF0000, 0xFF00, 0xFF};
        return 1;
    }
    bool createBackBuffer(const SurfaceFormat&) override { return true; }
    bool nextEvent(DisplayEvent* event) override {
        if (activated_) return false;
        activated_ = true;
        *event = DisplayEvent::Activated;
        return true;
    }
    bool lock(LockedSurface* surface) override {
        surface->memory = reinterpret_cast<uint8_t*>(pixels_.data());
        surface->pitch = width_ * 4;
        return true;
    }
    void unlock() override {}
    void flip() override {
        if (!audio_.isPlaying()) return;  // a loading screen: no part of the show's frames
        int32_t order = ModulePlayer::currentOrder();
        StreamHash::add(frameHash, pixels_.data(), pixels_.size() * 4);
        audio_.advance(soundFramesDuring(frames, FrameRate{}) * 4);
        double now = emscripten_get_now();
        if (frames > 0 && order >= 0 && order < orderCount) {
            ++orderFrames[order];
            orderMilliseconds[order] += now - lastFlip_;
        }
        if (++frames % framesPerTurn == 0) {
            emscripten_sleep(0);
            now = emscripten_get_now();
        }
        lastFlip_ = now;
    }
    void sleepMs(uint32_t) override {}
    void close() override {}

    StreamHash frameHash = StreamHash::begin();
    uint64_t frames = 0;
    // The time from one frame's flip to the next (drawing, hashing, mixing) by the order shown.
    static constexpr int32_t orderCount = 10;
    uint64_t orderFrames[orderCount] = {};
    double orderMilliseconds[orderCount] = {};

private:
    SteppedAudioDevice& audio_;
    double lastFlip_ = 0.0;
    std::vector<uint32_t> pixels_;
    int32_t width_ = 0;
    bool activated_ = false;
};

struct SoundTally {
    StreamHash hash = StreamHash::begin();
    uint64_t frames = 0;
};

void addSound(void* user, const int16_t* samples, uint32_t frames) {
    SoundTally& sound = *static_cast<SoundTally*>(user);
    StreamHash::add(sound.hash, samples, size_t(frames) * 4);
    sound.frames += frames;
}

}  // namespace

int runCheck() {
    static SteppedAudioDevice audio;
    static CheckDisplay display(audio);
    static SoundTally sound;
    audio.setSink(addSound, &sound);

    ShowSetup setup;
    setup.display = &display;
    setup.audio = &audio;
    setup.song = songImage;
    setup.songSize = songImageSize;
    setup.scenes = showSceneFactory();
    runShow(setup);
    std::printf("frames %" PRIu64 " %016" PRIx64 "\nsound %" PRIu64 " %016" PRIx64 "\n", display.frames,
                StreamHash::value(display.frameHash), sound.frames, StreamHash::value(sound.hash));
    for (int32_t order = 0; order < CheckDisplay::orderCount; ++order)
        std::printf("time %d %" PRIu64 " %.1f\n", int(order), display.orderFrames[order],
                    display.orderMilliseconds[order]);
    std::fflush(stdout);
    return 0;
}
