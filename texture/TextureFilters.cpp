#include "texture/TextureFilters.h"

#include <cmath>
#include <vector>

#include "core/PortableMath.h"
#include "texture/TextureColour.h"
#include "texture/TextureMath.h"
#include "texture/TextureSample.h"

namespace {

inline uint32_t at(const uint32_t* image, int x, int y) { return image[wrapCoord(y) * textureSize + wrapCoord(x)]; }

// Whether channel k (0..2) is chosen by a channel selector; no channel for an unknown selector.
inline bool selects(int channelSelect, int k) { return channelSelect == 4 || channelSelect == k + 1; }

}  // namespace

void shiftHue(TextureLayer& layer, int amount) {
    float degrees = float(int(float(amount) * 2.8125f));
    shiftHsv(layer.image, texturePixels, HsvComponent::hue, degrees);
}

void shiftValue(TextureLayer& layer, int amount) {
    shiftHsv(layer.image, texturePixels, HsvComponent::value, float(amount));
}

void shiftSaturation(TextureLayer& layer, float amount) {
    shiftHsv(layer.image, texturePixels, HsvComponent::saturation, amount);
}

void sineWarp(TextureLayer& layer, int rowFrequency, int columnFrequency, int rowAmplitude, int columnAmplitude,
              int rowPhase, int columnPhase) {
    float positions[textureSize];

    // Row pass: row y reads its pixels moved along the row by the row's shift.
    uint32_t* scratch = allocateScratch();
    float phase = float(rowPhase);
    float step = float(rowFrequency) * texturePi / 128.0f;
    for (int y = 0; y < textureSize; ++y) {
        float shift = float(rowAmplitude) * portable::sin(phase);
        for (int x = 0; x < textureSize; ++x) positions[x] = float(x) + shift;
        sampleWrappedRow(positions, float(y), textureSize, layer.image, scratch + y * textureSize);
        phase += step;
    }
    commitScratch(layer, scratch);

    // Column pass: column x reads its pixels moved along the column by the column's shift, which
    // is row x of the transposed image read along the row; the result is transposed back.
    uint32_t* transposed = allocateScratch();
    transposeImage(layer.image, transposed);
    scratch = allocateScratch();
    phase = float(columnPhase);
    step = float(columnFrequency) * texturePi / 128.0f;
    for (int x = 0; x < textureSize; ++x) {
        float shift = float(columnAmplitude) * portable::sin(phase);
        for (int y = 0; y < textureSize; ++y) positions[y] = float(y) + shift;
        sampleWrappedRow(positions, float(x), textureSize, transposed, scratch + x * textureSize);
        phase += step;
    }
    transposeImage(scratch, layer.image);
    freeScratch(transposed);
    freeScratch(scratch);
}

void embossShade(TextureLayer& layer) {
    uint32_t* scratch = allocateScratch();
    const uint32_t* image = layer.image;
    for (int y = 0; y < textureSize; ++y) {
        for (int x = 0; x < textureSize; ++x) {
            uint32_t right[3] = {at(image, x + 1, y - 1), at(image, x + 1, y), at(image, x + 1, y + 1)};
            uint32_t left[3] = {at(image, x - 1, y - 1), at(image, x - 1, y), at(image, x - 1, y + 1)};
            uint32_t pixel = image[y * textureSize + x];
            uint32_t shaded = pixel & 0xFF000000u;
            for (int k = 0; k < 3; ++k) {
                int sum = 128;
                for (int i = 0; i < 3; ++i) sum += pixelChannel(right[i], k) - pixelChannel(left[i], k);
                float e = float(clampByte(sum));
                int value = int(e * (1.0f / 255.0f) * float(pixelChannel(pixel, k)));
                shaded |= uint32_t(value) << (8 * k);
            }
            scratch[y * textureSize + x] = shaded;
        }
    }
    commitScratch(layer, scratch);
}

void invertChannels(TextureLayer& layer, int channelSelect) {
    uint32_t mask = 0;
    for (int k = 0; k < 3; ++k)
        if (selects(channelSelect, k)) mask |= 0xFFu << (8 * k);
    for (int i = 0; i < texturePixels; ++i) layer.image[i] ^= mask;
}

void swirl(TextureLayer& layer, int amount) {
    // The turn depends on the distance alone, so its cosine and sine are worked out once for each
    // u^2 + v^2 that occurs (about 5,900 of the 65,536 pixels' values).
    constexpr int largestSquare = 2 * 128 * 128;
    std::vector<float> cosines(largestSquare + 1), sines(largestSquare + 1);
    std::vector<uint8_t> known(largestSquare + 1, 0);
    float xs[textureSize], ys[textureSize];
    uint32_t* scratch = allocateScratch();
    for (int v = -128; v < 128; ++v) {
        for (int u = -128; u < 128; ++u) {
            int square = u * u + v * v;
            if (!known[size_t(square)]) {
                float r = std::sqrt(float(square));
                float angle = texturePi * r * (1.0f / 128.0f) * float(amount) * texturePi * (1.0f / 180.0f);
                cosines[size_t(square)] = portable::cos(angle);
                sines[size_t(square)] = portable::sin(angle);
                known[size_t(square)] = 1;
            }
            float cosine = cosines[size_t(square)], sine = sines[size_t(square)];
            xs[u + 128] = float(u) * cosine - float(v) * sine;
            ys[u + 128] = float(u) * sine + float(v) * cosine;
        }
        sampleWrappedSpan(xs, ys, textureSize, layer.image, scratch + (v + 128) * textureSize);
    }
    commitScratch(layer, scratch);
}

void relief(TextureLayer& layer, int amount) {
    uint32_t* scratch = allocateScratch();
    const uint32_t* image = layer.image;
    for (int y = 0; y < textureSize; ++y) {
        for (int x = 0; x < textureSize; ++x) {
            uint32_t pixel = image[y * textureSize + x];
            int d = amount * (pixelChannel(pixel, channelRed) - pixelChannel(at(image, x - 1, y), channelRed));
            scratch[y * textureSize + x] = makePixel(
                clampByte(pixelChannel(pixel, channelRed) + d), clampByte(pixelChannel(pixel, channelGreen) + d),
                clampByte(pixelChannel(pixel, channelBlue) + d), pixelChannel(pixel, 3));
        }
    }
    commitScratch(layer, scratch);
}

void addColour(TextureLayer& layer, int red, int green, int blue) {
    for (int i = 0; i < texturePixels; ++i) {
        uint32_t pixel = layer.image[i];
        layer.image[i] = makePixel(clampByte(pixelChannel(pixel, channelRed) + red),
                                   clampByte(pixelChannel(pixel, channelGreen) + green),
                                   clampByte(pixelChannel(pixel, channelBlue) + blue), pixelChannel(pixel, 3));
    }
}
