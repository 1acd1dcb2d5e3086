#pragma once
#include <cstdint>

#include "platform/FontEngine.h"

// Captions through GDI: the face drawn with ANTIALIASED_QUALITY into a 32-bit top-down DIB section
// on a memory device context, white on black, the drawing flushed before the pixels are read. The
// requested height is the font's cell height, a non-zero width its average character width.
class GdiFontEngine final : public FontEngine {
public:
    // Checks that family is installed (for "Arial", Arial or its metric twin Liberation Sans, as
    // Wine provides). False (after one line on stderr) when GDI substitutes another face for it;
    // text is still drawn in whatever face GDI picked.
    bool open(const char* family = "Arial");
    // True when open found the family itself.
    bool hasFace() const { return faceFound; }

    int32_t maxCharWidth(const FontRequest& request) override;
    bool drawText(const FontRequest& request, const char* text, uint32_t* pixels, int32_t width,
                  int32_t height) override;

private:
    char family[32] = "Arial";
    bool faceFound = false;
};
