#include "texture/TextureGenerators.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/PortableMath.h"
#include "core/Random.h"
#include "texture/TextureMath.h"

void clearLayer(TextureLayer& layer) {
    std::memset(layer.image, 0, texturePixels * sizeof(uint32_t));
    std::memset(layer.packed, 0, texturePixels * sizeof(uint32_t));
}

void genSinePlasma(TextureLayer& layer, TextureRgb colour, int stepX, int stepY) {
    float stepColumn = float(stepX) * texturePi / 128.0f;
    float stepRow = float(stepY) * texturePi / 128.0f;

    // The column angle restarts on every row, so one row of column sines serves all rows.
    float columnSine[textureSize];
    float columnAngle = 0.0f;
    for (int x = 0; x < textureSize; ++x) {
        columnSine[x] = portable::sin(columnAngle);
        columnAngle += stepColumn;
    }

    const uint8_t channels[3] = {colour.red, colour.green, colour.blue};
    float amplitude[3], offset[3];
    for (int k = 0; k < 3; ++k) {
        amplitude[k] = float(channels[k] >> 2);
        offset[k] = float(channels[k] >> 1);
    }

    float rowAngle = 0.0f;
    for (int y = 0; y < textureSize; ++y) {
        float rowSine = portable::sin(rowAngle);
        uint32_t* row = layer.image + y * textureSize;
        for (int x = 0; x < textureSize; ++x) {
            uint32_t pixel = row[x] & 0xFF000000u;
            for (int k = 0; k < 3; ++k) {
                int value = int((rowSine + columnSine[x]) * amplitude[k] + offset[k]);
                pixel |= uint32_t(value & 255) << (8 * k);
            }
            row[x] = pixel;
        }
        rowAngle += stepRow;
    }
}

namespace {

// rand() mod range - range / 2 (the remainder keeps the sign of rand(), the halving is an
// arithmetic shift, as for signed integers); range 0 means no displacement and draws nothing.
int displacement(int range) {
    if (range == 0) return 0;
    return rng::rand() % range - (range >> 1);
}

// The corners of one cell; far corners wrap to row or column 0 so the picture tiles.
struct FractalCell {
    int x0, y0, x1, y1, half;
    uint32_t* image;

    uint32_t& at(int x, int y) const { return image[y * textureSize + x]; }
    int nw(int k) const { return pixelChannel(at(x0, y0), k); }
    int ne(int k) const { return pixelChannel(at(x1, y0), k); }
    int sw(int k) const { return pixelChannel(at(x0, y1), k); }
    int se(int k) const { return pixelChannel(at(x1, y1), k); }

    // The three points a cell sets: top-edge midpoint, centre, left-edge midpoint.
    void setTop(int k, int t) const {
        uint32_t& p = at(x0 + half, y0);
        p = withChannel(p, k, clampByte(((nw(k) + ne(k)) >> 1) + t));
    }
    void setCentre(int k, int t) const {
        uint32_t& p = at(x0 + half, y0 + half);
        p = withChannel(p, k, clampByte(((nw(k) + ne(k) + sw(k) + se(k)) >> 2) + t));
    }
    void setLeft(int k, int t) const {
        uint32_t& p = at(x0, y0 + half);
        p = withChannel(p, k, clampByte(((nw(k) + sw(k)) >> 1) + t));
    }
};

// Visits the cells of every level, 256 down to 2, row by row and left to right within a row.
template <typename CellFunction>
void forEachFractalCell(uint32_t* image, int roughness, CellFunction visit) {
    for (int size = textureSize; size >= 2; size >>= 1) {
        int range = roughness * size;
        for (int y0 = 0; y0 < textureSize; y0 += size) {
            for (int x0 = 0; x0 < textureSize; x0 += size) {
                FractalCell cell{x0, y0, (x0 + size) & 255, (y0 + size) & 255, size / 2, image};
                visit(cell, range);
            }
        }
    }
}

}  // namespace

void genFractalGradient(TextureLayer& layer, TextureRgb base, TextureRgb range, int roughness, int seed) {
    rng::srand(uint32_t(seed));
    layer.image[0] = withChannel(layer.image[0], channelRed, 128);
    forEachFractalCell(layer.image, roughness, [](const FractalCell& cell, int spread) {
        cell.setTop(channelRed, displacement(spread));
        cell.setCentre(channelRed, displacement(spread));
        cell.setLeft(channelRed, displacement(spread));
    });

    for (int i = 0; i < texturePixels; ++i) {
        uint32_t pixel = layer.image[i];
        float x = float(pixelChannel(pixel, channelRed)) * (1.0f / 255.0f);
        pixel = withChannel(pixel, channelRed, clampByte(base.red + int(float(range.red) * x)));
        pixel = withChannel(pixel, channelGreen, clampByte(base.green + int(float(range.green) * x)));
        pixel = withChannel(pixel, channelBlue, clampByte(base.blue + int(float(range.blue) * x)));
        layer.image[i] = pixel;
    }
}

void genFractalColourPlain(TextureLayer& layer, uint32_t startColour, int roughness, int seed) {
    rng::srand(uint32_t(seed));
    layer.image[0] = startColour;
    forEachFractalCell(layer.image, roughness, [](const FractalCell& cell, int spread) {
        int t = displacement(spread);
        for (int k = channelRed; k <= channelBlue; ++k) {
            cell.setTop(k, t);
            cell.setCentre(k, t);
            cell.setLeft(k, t);
        }
    });
}

#if defined(__SSE2__)
// The three channels of a point at once, each byte in a 16-bit lane: a point reads only the cell's
// corners, never another point, so setting it whole gives what three channel passes give. The
// unsigned pack clamps like clampByte; the spare byte keeps its value.
void genFractalColour(TextureLayer& layer, uint32_t startColour, int roughness, int seed) {
    rng::srand(uint32_t(seed));
    layer.image[0] = startColour;
    forEachFractalCell(layer.image, roughness, [](const FractalCell& cell, int spread) {
        const __m128i zero = _mm_setzero_si128();
        auto lanes = [zero](uint32_t pixel) { return _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(pixel)), zero); };
        auto set = [](uint32_t& pixel, __m128i value) {
            uint32_t colour = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(value, value)));
            pixel = (colour & 0x00FFFFFFu) | (pixel & 0xFF000000u);
        };
        // A displacement beyond +-256 clamps every point alike; limited so, it fits a 16-bit lane
        // (a negative roughness draws up to 49,151).
        int displaced = displacement(spread);
        __m128i t = _mm_set1_epi16(int16_t(displaced < -256 ? -256 : (displaced > 256 ? 256 : displaced)));
        __m128i nw = lanes(cell.at(cell.x0, cell.y0)), ne = lanes(cell.at(cell.x1, cell.y0));
        __m128i sw = lanes(cell.at(cell.x0, cell.y1)), se = lanes(cell.at(cell.x1, cell.y1));
        __m128i top = _mm_add_epi16(nw, ne), left = _mm_add_epi16(nw, sw);
        __m128i centre = _mm_add_epi16(top, _mm_add_epi16(sw, se));
        set(cell.at(cell.x0 + cell.half, cell.y0), _mm_add_epi16(_mm_srli_epi16(top, 1), t));
        set(cell.at(cell.x0 + cell.half, cell.y0 + cell.half), _mm_add_epi16(_mm_srli_epi16(centre, 2), t));
        set(cell.at(cell.x0, cell.y0 + cell.half), _mm_add_epi16(_mm_srli_epi16(left, 1), t));
    });
}
#else
void genFractalColour(TextureLayer& layer, uint32_t startColour, int roughness, int seed) {
    genFractalColourPlain(layer, startColour, roughness, seed);
}
#endif

namespace {

// A limit byte becomes the modulus trunc(limit * 127 / 64) mod 256: 129 gives 255, 130 gives 1.
int tileModulus(uint8_t limit) { return int(float(limit) * 1.984375f) & 255; }

int drawBelow(int modulus) {
    int value = rng::rand();
    return modulus != 0 ? value % modulus : 0;
}

}  // namespace

void genRandomTiles(TextureLayer& layer, int width, int height, uint8_t redLimit, uint8_t greenLimit, uint8_t blueLimit,
                    int seed) {
    rng::srand(uint32_t(seed));
    if (width <= 0 || height <= 0) return;
    int redModulus = tileModulus(redLimit);
    int greenModulus = tileModulus(greenLimit);
    int blueModulus = tileModulus(blueLimit);

    for (int tx = 0; tx < textureSize; tx += width) {
        int right = tx + width < textureSize ? tx + width : textureSize;
        for (int ty = 0; ty < textureSize; ty += height) {
            int bottom = ty + height < textureSize ? ty + height : textureSize;
            int red = drawBelow(redModulus);
            int green = drawBelow(greenModulus);
            int blue = drawBelow(blueModulus);
            uint32_t colour = makePixel(red, green, blue, 0);
            for (int y = ty; y < bottom; ++y)
                for (int x = tx; x < right; ++x) layer.image[y * textureSize + x] = colour;
        }
    }
}
