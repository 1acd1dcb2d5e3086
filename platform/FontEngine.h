#pragma once
#include <cstdint>

// What the captions need from a font engine: an antialiased "Arial"-like face at a given cell
// height, width and weight, drawn white on black into a 32-bit image, and its maximum character
// width. display/TextSprite.h is the only user.

struct FontRequest {
    int32_t cellHeight = 0;      // pixels from the top of the cell to its bottom: ascent plus descent
    int32_t width = 0;           // average character width in pixels; 0 lets the engine choose
    int32_t weight = 400;        // 100 (thin) .. 1000 (black); 400 regular, 700 bold
    bool symbolCharset = false;  // the symbol character set instead of the ANSI one
};

class FontEngine {
public:
    // The widest advance of any character at this size in pixels; 0 when no font can be had.
    virtual int32_t maxCharWidth(const FontRequest& request) = 0;
    // Draws text (8-bit characters) white on black into a width x height XRGB image that the
    // caller has cleared to black, rows top-down, pen at column 0 and the cell's top at row 0.
    // Anything past the image's edges is clipped. False when no font can be had.
    virtual bool drawText(const FontRequest& request, const char* text, uint32_t* pixels, int32_t width,
                          int32_t height) = 0;

protected:
    ~FontEngine() = default;
};
