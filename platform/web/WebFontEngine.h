#pragma once
#include <cstdint>

#include "platform/FontEngine.h"

// Captions drawn by the browser's own text drawing (a 2D canvas) in "Arial", else its metric twin
// "Liberation Sans", else the page's sans-serif face. The font size is chosen so that ascent plus
// descent fill the requested cell; the coverage is read back from the canvas. Characters are taken
// as Latin-1; the symbol character set is not offered (no caption asks for it). The maximum
// character width is the one Liberation Sans gives at that cell height, so that sprites have the
// sizes they have on the desktop.
class WebFontEngine final : public FontEngine {
public:
    int32_t maxCharWidth(const FontRequest& request) override;
    bool drawText(const FontRequest& request, const char* text, uint32_t* pixels, int32_t width,
                  int32_t height) override;
};
