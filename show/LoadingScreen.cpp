#include "show/LoadingScreen.h"

#include "core/Random.h"
#include "display/Display.h"
#include "engine/Bitmap.h"
#include "show/Framebuffer.h"

Bitmap* LoadingScreen::caption = nullptr;

// The three lights: 10 x 10 squares on rows 296-305, left of the caption that starts at column 335.
static constexpr int32_t lightTop = 296;
static constexpr int32_t lightSize = 10;
static constexpr int32_t lightLeft[3] = {282, 297, 312};

static void drawLight(Bitmap* target, int32_t left) {
    for (int32_t y = lightTop; y < lightTop + lightSize; ++y)
        for (int32_t x = left; x < left + lightSize; ++x) target->pixels[y * target->width + x] = 0xFFFFFFFF;
}

void LoadingScreen::draw(Bitmap* target) {
    target->fill(0);
    if (caption) target->drawTextSprite(*caption, 335, 291, 0xFFFFFF, 1.0f);
    // Draw all three values first (left, middle, right), then light the odd ones.
    bool lit[3];
    for (bool& light : lit) light = (rng::rand() & 1) != 0;
    for (int i = 0; i < 3; ++i)
        if (lit[i]) drawLight(target, lightLeft[i]);
}

void LoadingScreen::step() {
    draw(&framebuffer);
    Display::present(framebuffer.pixels);
}
