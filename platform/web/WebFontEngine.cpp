#include "platform/web/WebFontEngine.h"

#include "platform/web/WebPage.h"

int32_t WebFontEngine::maxCharWidth(const FontRequest& request) {
    if (request.cellHeight <= 0) return 0;
    return intro_font_max_width(request.cellHeight, request.weight);
}

bool WebFontEngine::drawText(const FontRequest& request, const char* text, uint32_t* pixels, int32_t width,
                             int32_t height) {
    if (request.cellHeight <= 0 || text == nullptr || pixels == nullptr || width <= 0 || height <= 0) return false;
    return intro_font_draw(text, pixels, width, height, request.cellHeight, request.weight) != 0;
}
