#include "display/TextSprite.h"

#include <cstring>
#include <vector>

static FontEngine* fontEngine = nullptr;

void useFontEngine(FontEngine* engine) { fontEngine = engine; }

// The largest supersampled image a caption may need, in pixels (the show's biggest is well below
// one million); anything larger is refused rather than allocated.
static constexpr int64_t largestLargeImage = int64_t(1) << 26;

void reduceCoverage(const uint32_t* large, int32_t largeWidth, int32_t factor, Bitmap& target) {
    uint64_t area = uint64_t(factor) * uint64_t(factor);
    for (int32_t r = 0; r < target.height; ++r) {
        for (int32_t c = 0; c < target.width; ++c) {
            const uint32_t* block = large + int64_t(r) * factor * largeWidth + int64_t(c) * factor;
            uint64_t sum = 0;
            for (int32_t y = 0; y < factor; ++y, block += largeWidth)
                for (int32_t x = 0; x < factor; ++x) sum += block[x] & 0xFF;
            uint64_t value = sum / area;
            if (value > 255) value = 255;
            target.pixels[int64_t(r) * target.width + c] = uint32_t(value) * 0x010101u;
        }
    }
}

Bitmap* createTextSprite(int32_t style, int32_t height, int32_t width, const char* text, int32_t factor,
                         int32_t weight) {
    if (text == nullptr || factor < 1 || height < 0 || width < 0) return nullptr;
    FontRequest request;
    request.cellHeight = int32_t(int64_t(height) * factor);
    request.width = int32_t(int64_t(width) * factor);
    request.weight = weight;
    request.symbolCharset = style == 4 || style == 5;
    if (int64_t(height) * factor > largestLargeImage || int64_t(width) * factor > largestLargeImage) return nullptr;

    int64_t maxWidth = fontEngine != nullptr ? fontEngine->maxCharWidth(request) : 0;
    if (maxWidth < 0) maxWidth = 0;
    int64_t largeWidth = int64_t(std::strlen(text)) * maxWidth;
    int64_t largeHeight = request.cellHeight;
    if (largeWidth > largestLargeImage || largeWidth * largeHeight > largestLargeImage) return nullptr;

    Bitmap* sprite = new Bitmap(int32_t(largeWidth / factor), height);
    if (largeWidth == 0 || largeHeight == 0) return sprite;
    std::vector<uint32_t> large(size_t(largeWidth * largeHeight), 0);
    // A failed draw leaves the image black: the caption is blank but keeps its size.
    fontEngine->drawText(request, text, large.data(), int32_t(largeWidth), int32_t(largeHeight));
    reduceCoverage(large.data(), int32_t(largeWidth), factor, *sprite);
    return sprite;
}
