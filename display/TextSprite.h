#pragma once
#include <cstdint>

#include "engine/Bitmap.h"
#include "platform/FontEngine.h"

// Captions: text drawn once through the font engine at a multiple of its final size and reduced by
// a box filter into a greyscale Bitmap (each pixel value * 0x010101, top byte 0) that
// Bitmap::drawTextSprite blends into a picture.

// Sets the process-wide font engine used by createTextSprite; nullptr leaves captions blank and
// zero wide. The engine stays owned by the caller and must outlive every later createTextSprite.
void useFontEngine(FontEngine* engine);

// A new TextSprite (the caller deletes it) of text in "Arial" at weight (100-1000). The text is drawn
// at height * factor cell height and width * factor average character width (0: the engine's own),
// style 4 or 5 selecting the symbol character set. The large image is length(text) * M wide, M the
// font's maximum character width, and height * factor high; the sprite is (large width / factor) x
// height, each pixel the mean of the blue bytes of its factor x factor block (integer division).
// nullptr for a null text, a factor below 1, a negative height or width, or a size too large to hold.
Bitmap* createTextSprite(int32_t style, int32_t height, int32_t width, const char* text, int32_t factor,
                         int32_t weight);

// The box-filter step on its own: reduces a largeWidth x largeHeight XRGB image into target, whose
// pixel (c, r) becomes the mean blue byte of the factor x factor block at (c * factor, r * factor),
// limited to 255, stored as grey. target must fit inside the large image scaled down by factor.
void reduceCoverage(const uint32_t* large, int32_t largeWidth, int32_t factor, Bitmap& target);
