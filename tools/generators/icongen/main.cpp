// icongen: draws the show's application icon from a frame of its title scene, at the sizes the
// desktop's icon theme asks for.
//
//   icongen OUTDIR SIZE...
//
// Plays the show's song on the virtual sound device to put the title scene at its second order,
// lets the star turn for five seconds, and crops the frame to a square around the star. Each
// SIZE gives OUTDIR/icon-SIZE.png: every icon pixel averages the frame pixels it covers; the
// scene's white background becomes transparent, so the star's edges fade into any panel. The
// captions are left out (no font engine), so the icons do not depend on the fonts installed.
// Exits 1 with one line on stderr when a size is not 8 to 1024 or a file cannot be written.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/Song.h"
#include "engine/Bitmap.h"
#include "engine/Viewport.h"
#include "music/ModulePlayer.h"
#include "platform/headless/VirtualAudioDevice.h"
#include "scenes/TitleScene.h"
#include "tools/common/PngWriter.h"

namespace {

constexpr uint32_t blockBytes = 882 * 4;  // 20 ms of 44100 Hz 16-bit stereo

struct Square {
    int32_t left = 0;
    int32_t top = 0;
    int32_t side = 0;
};

// The smallest square, with a margin of a twentieth, around every pixel that is not the
// background, kept inside the frame as far as it fits.
Square squareAround(const Bitmap& frame, uint32_t background) {
    int32_t left = frame.width, right = -1, top = frame.height, bottom = -1;
    for (int32_t y = 0; y < frame.height; ++y)
        for (int32_t x = 0; x < frame.width; ++x)
            if ((frame.pixels[y * frame.width + x] & 0xFFFFFF) != background) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < 0) return Square{0, 0, std::min(frame.width, frame.height)};
    int32_t side = std::max(right - left + 1, bottom - top + 1);
    side = std::min(side + side / 10, std::min(frame.width, frame.height));
    Square square;
    square.side = side;
    square.left = std::clamp((left + right + 1) / 2 - side / 2, 0, frame.width - side);
    square.top = std::clamp((top + bottom + 1) / 2 - side / 2, 0, frame.height - side);
    return square;
}

// The square scaled to size x size ARGB pixels: each icon pixel takes the frame pixels whose
// centres fall inside it; its alpha is the share of them that are not background, its colour
// their average.
std::vector<uint32_t> shrink(const Bitmap& frame, const Square& square, uint32_t background, int32_t size) {
    std::vector<uint32_t> icon(size_t(size) * size_t(size));
    for (int32_t iy = 0; iy < size; ++iy)
        for (int32_t ix = 0; ix < size; ++ix) {
            int32_t x0 = square.side * ix / size, x1 = square.side * (ix + 1) / size;
            int32_t y0 = square.side * iy / size, y1 = square.side * (iy + 1) / size;
            uint32_t red = 0, green = 0, blue = 0, covered = 0, all = 0;
            for (int32_t y = y0; y < std::max(y1, y0 + 1); ++y)
                for (int32_t x = x0; x < std::max(x1, x0 + 1); ++x) {
                    uint32_t pixel = frame.pixels[(square.top + y) * frame.width + square.left + x] & 0xFFFFFF;
                    ++all;
                    if (pixel == background) continue;
                    ++covered;
                    red += pixel >> 16;
                    green += (pixel >> 8) & 0xFF;
                    blue += pixel & 0xFF;
                }
            if (covered == 0) continue;  // transparent
            uint32_t alpha = (covered * 255 + all / 2) / all;
            auto mean = [&](uint32_t sum) { return (sum + covered / 2) / covered; };
            icon[size_t(iy) * size_t(size) + size_t(ix)] =
                alpha << 24 | mean(red) << 16 | mean(green) << 8 | mean(blue);
        }
    return icon;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: icongen OUTDIR SIZE...\n");
        return 1;
    }
    std::vector<int32_t> sizes;
    for (int i = 2; i < argc; ++i) {
        char* end = nullptr;
        long size = std::strtol(argv[i], &end, 10);
        if (*end != '\0' || size < 8 || size > 1024) {
            std::fprintf(stderr, "icongen: a size is a number of pixels from 8 to 1024, not '%s'\n", argv[i]);
            return 1;
        }
        sizes.push_back(int32_t(size));
    }

    // The show's own song, played on a device that mixes only when asked, up to the second order.
    VirtualAudioDevice device;
    ModulePlayer::create(&device, nullptr, songImage, songImageSize);
    ModulePlayer::start();
    while (ModulePlayer::currentOrder() < 1) device.advance(blockBytes);
    Bitmap frame(640, 480);
    TitleScene scene;
    scene.init(&frame, [] {});
    // Five seconds of the star turning: half a second, then four whole ones (60 time-step units
    // each), as the scene sees them at 60 frames a second.
    projectionFlipY = true;
    for (float step : {0.0f, 30.0f, 60.0f, 60.0f, 60.0f, 60.0f}) scene.renderFrame(&frame, step, 0.0f);
    projectionFlipY = false;
    ModulePlayer::stop();

    uint32_t background = frame.pixels[0] & 0xFFFFFF;
    Square square = squareAround(frame, background);
    for (int32_t size : sizes) {
        std::vector<uint32_t> icon = shrink(frame, square, background, size);
        std::string path = std::string(argv[1]) + "/icon-" + std::to_string(size) + ".png";
        std::string error;
        if (!writePngWithAlpha(path, icon.data(), size, size, &error)) {
            std::fprintf(stderr, "icongen: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
