#include "tools/programs/capture/CaptureSession.h"

#include <chrono>

#include "music/ModulePlayer.h"
#include "platform/freetype/FreeTypeFontEngine.h"
#include "platform/headless/HeadlessDisplayBackend.h"
#include "platform/headless/VirtualAudioDevice.h"
#include "show/Framebuffer.h"

namespace {

constexpr uint32_t bytesPerSoundFrame = 4;
// How long the music worker may take to refill the ring after the clock moves. It needs well
// under a millisecond; only a machine stalled for this long makes the capture give up.
constexpr std::chrono::milliseconds workerPatience(60000);

}  // namespace

CaptureResult captureShow(const CaptureSetup& setup, const CaptureHooks& hooks) {
    HeadlessDisplayBackend display;
    // The show draws into the Framebuffer and presenting would copy it to the display's own
    // buffer; drawn on the Framebuffer itself, each frame is hashed or encoded from where it is.
    display.useSurface(framebuffer.pixels);
    VirtualAudioDevice audio;
    FreeTypeFontEngine fonts;
    bool fontsOpen = setup.fonts && fonts.open();

    CaptureResult result;
    uint32_t loadingFrames = 0;
    bool capturing = true;  // false once the hooks have asked to stop
    audio.setSink([&](const int16_t* samples, uint32_t frames) {
        if (capturing && hooks.sound) hooks.sound(samples, frames);
    });
    display.setFrameSink([&](const uint32_t* pixels, int32_t width, int32_t height) {
        if (!audio.isPlaying()) {
            if (capturing && hooks.loadingFrame) hooks.loadingFrame(pixels, width, height, loadingFrames);
            ++loadingFrames;
            return;
        }
        uint64_t n = result.frames++;
        if (capturing && hooks.frame) {
            CapturedFrame frame{n, ModulePlayer::currentOrder(), ModulePlayer::currentRow(), pixels, width, height};
            if (!hooks.frame(frame)) {
                capturing = false;
                if (hooks.stop) hooks.stop();
                display.queueEvent(DisplayEvent::EscapeKey);
                return;
            }
        }
        if (!audio.advance(soundFramesDuring(n, setup.rate) * bytesPerSoundFrame, workerPatience))
            result.inStep = false;
    });

    ShowSetup show;
    show.display = &display;
    show.fonts = fontsOpen ? &fonts : nullptr;
    show.audio = &audio;
    show.song = setup.song;
    show.songSize = setup.songSize;
    show.scenes = setup.scenes;
    runShow(show);

    display.setFrameSink({});
    audio.setSink({});
    return result;
}
