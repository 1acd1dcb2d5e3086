#pragma once
#include <cstdint>

struct Bitmap;

// How a scene's caption is drawn: createTextSprite's character-set style (0 and 6 both select the
// ANSI set), the supersampling factor it draws and box-filters at, and the font weight.
struct CaptionLook {
    int32_t style;
    int32_t factor;
    int32_t weight;
};

constexpr CaptionLook boldCaption{0, 4, 800};  // the title, lattice, particle cloud and credits
constexpr CaptionLook ringLabel{6, 4, 800};    // the ring's name
constexpr CaptionLook ringLetter{6, 4, 1000};  // the ring's huge faint "r"

// A new caption (the caller deletes it) of text at cell height `height` pixels, in look, at the font's
// own character width.
Bitmap* sceneCaption(const CaptionLook& look, int32_t height, const char* text);
