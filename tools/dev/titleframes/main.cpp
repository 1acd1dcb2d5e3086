// titleframes: renders frames of the title scene as PNG files, to look at the shot.
//
//   titleframes OUTDIR
//
// Plays a silent ten-order song on the virtual sound device to put the scene at order 0 rows 19
// and 20 and at order 1, then steps order 1 by one second of song time (60 time-step units, 9
// animation frames) per picture: OUTDIR/title-order0-row19.png, ...-row20.png, title-order1-0.png
// (the first frame) and title-anim-NN.png for animation times 0, 9, ..., 90. Exits 1 with one line
// on stderr when a file cannot be written or the font engine cannot start.
#include <cstdio>
#include <string>
#include <vector>

#include "display/TextSprite.h"
#include "engine/Bitmap.h"
#include "engine/Viewport.h"
#include "music/ModulePlayer.h"
#include "platform/freetype/FreeTypeFontEngine.h"
#include "platform/headless/VirtualAudioDevice.h"
#include "scenes/TitleScene.h"
#include "tools/common/PngWriter.h"
#include "tools/common/XmWriter.h"

namespace {

constexpr uint32_t blockBytes = 882 * 4;  // 20 ms of 44100 Hz 16-bit stereo

bool seek(VirtualAudioDevice& device, int32_t order, int32_t row) {
    for (int32_t blocks = 0; blocks < 2700; ++blocks) {
        if (ModulePlayer::currentOrder() == order && ModulePlayer::currentRow() == row) return true;
        device.advance(blockBytes);
    }
    return false;
}

// Writes frame as a PNG file; one line on stderr when it cannot.
bool writeFrame(const std::string& path, const Bitmap& frame) {
    std::string error;
    if (writePng(path, frame.pixels, frame.width, frame.height, 1, &error)) return true;
    std::fprintf(stderr, "titleframes: %s\n", error.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: titleframes OUTDIR\n");
        return 1;
    }
    std::string dir = argv[1];
    FreeTypeFontEngine fonts;
    if (!fonts.open()) {
        std::fprintf(stderr, "titleframes: the font engine cannot start\n");
        return 1;
    }
    useFontEngine(&fonts);
    Bitmap frame(640, 480);
    TitleScene scene;
    scene.init(&frame, [] {});

    VirtualAudioDevice device;
    std::vector<uint8_t> song = writeXm(silentTimelineSong());
    ModulePlayer::create(&device, nullptr, song.data(), uint32_t(song.size()));
    ModulePlayer::start();

    bool ok = true;
    auto shoot = [&](const std::string& name, float timeStep) {
        projectionFlipY = true;
        scene.renderFrame(&frame, timeStep, 0.0f);
        projectionFlipY = false;
        ok = ok && writeFrame(dir + "/" + name + ".png", frame);
    };
    seek(device, 0, 19);
    shoot("title-order0-row19", 1.0f);
    seek(device, 0, 20);
    for (int i = 0; i < 30; ++i) shoot("title-order0-row20", 1.0f);  // the title fading in
    seek(device, 0, 40);
    shoot("title-order0-row40", 100.0f);
    seek(device, 1, 0);
    shoot("title-order1-0", 0.0f);
    shoot("title-order1-fading", 30.0f);  // half a second: captions half gone, animation at 4.5
    char name[32];
    for (int second = 1; second <= 10; ++second) {
        std::snprintf(name, sizeof name, "title-anim-%02d", second * 9);
        shoot(name, second == 1 ? 30.0f : 60.0f);
    }
    ModulePlayer::stop();
    useFontEngine(nullptr);
    return ok ? 0 : 1;
}
