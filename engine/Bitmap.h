#pragma once
#include <cstdint>

// The one image record: width x height 32-bit XRGB pixels (blue in bits 0-7, green 8-15,
// red 16-23; the top byte is carried along but is not a colour), row-major, top row first.
// The Framebuffer, every caption's TextSprite and the scenes' sprite images are Bitmaps.
struct Bitmap {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t* pixels = nullptr;  // owned, width * height words; pixel (x, y) is word y * width + x

    // Allocates width * height pixels, all 0.
    Bitmap(int32_t width, int32_t height);
    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
    // Moving hands the pixel array over; the source is left empty (0 x 0, no pixels).
    Bitmap(Bitmap&& other) noexcept : width(other.width), height(other.height), pixels(other.pixels) {
        other.width = other.height = 0;
        other.pixels = nullptr;
    }

    int32_t pixelCount() const { return width * height; }

    // Every pixel becomes colour, all four bytes included.
    void fill(uint32_t colour);

    // Every byte of every pixel becomes trunc(level * 255) & 255, so a pixel reads g g g g.
    void fillGrey(float level);

    // Blends a caption's coverage (the blue byte of each sprite pixel) into this bitmap with its
    // top-left corner at (x, y): channel = channel * (1 - k) + colour channel * k, truncated, with
    // k = coverage * opacity / 255. Uncovered sprite pixels leave the destination untouched; covered
    // ones get a top byte of 0. Whatever falls outside this bitmap is clipped.
    void drawTextSprite(const Bitmap& sprite, int32_t x, int32_t y, uint32_t colour, float opacity);
    // The same one pixel at a time: the reference for drawTextSprite, which blends four pixels at
    // a time in float lanes where SSE2 exists.
    void drawTextSpritePlain(const Bitmap& sprite, int32_t x, int32_t y, uint32_t colour, float opacity);
};
