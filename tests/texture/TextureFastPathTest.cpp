// The vector versions of the texture operations against their plain twins: the same bytes on noise,
// on bright pictures (where the saturating sums matter) and on the edges of every range.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/PortableMath.h"
#include "tests/texture/TextureSupport.h"
#include "texture/TextureColour.h"
#include "texture/TextureCombine.h"
#include "texture/TextureFilters.h"
#include "texture/TextureGenerators.h"
#include "texture/TextureSample.h"

namespace {

bool sameImage(const TextureLayer& a, const TextureLayer& b) {
    return std::memcmp(a.image, b.image, texturePixels * sizeof(uint32_t)) == 0;
}

// Noise, and the same noise with every byte at least 0xF0.
struct NoisePictures {
    OwnedLayer noise, bright;
    explicit NoisePictures(uint32_t seed) {
        fillNoise(noise.layer, seed);
        for (int i = 0; i < texturePixels; ++i) bright.layer.image[i] = noise.layer.image[i] | 0xF0F0F0F0u;
    }
};

// A float in -383..383 from a private generator.
struct Positions {
    uint32_t state;
    float next() {
        state = state * 1103515245u + 12345u;
        return float(int(state >> 8 & 0xFFFF) - 32768) / 32768.0f * 383.0f;
    }
};

// Whole numbers and halves around every place where wrapCoord or the weights change.
std::vector<float> edgePositions() {
    std::vector<float> edges;
    for (int v : {-383, -300, -257, -256, -255, -254, -128, -2, -1, 0, 1, 2, 127, 253, 254, 255, 256, 257, 300, 382})
        for (float d : {-0.5f, -0.001f, 0.0f, 0.001f, 0.5f}) edges.push_back(float(v) + d);
    return edges;
}

}  // namespace

TEST(TextureFastPaths, SpanReadsMatchSingleReads) {
    NoisePictures pictures(99);
    Positions random{12345};
    std::vector<float> xs, ys;
    for (int i = 0; i < 40000; ++i) {
        xs.push_back(random.next());
        ys.push_back(random.next());
    }
    std::vector<float> edges = edgePositions();
    for (float x : edges)
        for (float y : edges) xs.push_back(x), ys.push_back(y);
    std::vector<uint32_t> fast(xs.size()), plain(xs.size());
    for (const uint32_t* image : {pictures.noise.layer.image, pictures.bright.layer.image}) {
        // Lengths that are not a multiple of four leave a tail to the single reads.
        for (int count : {int(xs.size()), 7}) {
            sampleWrappedSpan(xs.data(), ys.data(), count, image, fast.data());
            sampleWrappedSpanScalar(xs.data(), ys.data(), count, image, plain.data());
            for (int i = 0; i < count; ++i) ASSERT_EQ(fast[i], plain[i]) << xs[i] << ", " << ys[i];
        }
    }
}

// Rows as the warp reads them (whole-number y, x shifted by any amount, across the folded edges)
// and rows at a fractional y.
TEST(TextureFastPaths, RowReadsMatchSingleReads) {
    NoisePictures pictures(5);
    Positions random{777};
    std::vector<float> rowsY = edgePositions();
    for (int y = -255; y <= 300; y += 5) rowsY.push_back(float(y));
    float xs[textureSize];
    uint32_t fast[textureSize], plain[textureSize];
    for (const uint32_t* image : {pictures.noise.layer.image, pictures.bright.layer.image}) {
        for (float y : rowsY) {
            for (float shift : {0.0f, 0.37f, -0.5f, 1.0f, -127.0f, 126.99f, random.next() / 3.0f}) {
                for (int x = 0; x < textureSize; ++x) xs[x] = float(x) + shift;
                sampleWrappedRow(xs, y, textureSize, image, fast);
                sampleWrappedRowScalar(xs, y, textureSize, image, plain);
                ASSERT_EQ(std::memcmp(fast, plain, sizeof fast), 0) << "row " << y << ", shift " << shift;
            }
            for (int x = 0; x < textureSize; ++x) xs[x] = random.next();
            sampleWrappedRow(xs, y, textureSize - 3, image, fast);
            sampleWrappedRowScalar(xs, y, textureSize - 3, image, plain);
            ASSERT_EQ(std::memcmp(fast, plain, (textureSize - 3) * sizeof(uint32_t)), 0) << "row " << y;
        }
    }
}

TEST(TextureFastPaths, TransposeMirrorsAboutTheDiagonal) {
    OwnedLayer noise, turned, back;
    fillNoise(noise.layer, 3);
    transposeImage(noise.layer.image, turned.layer.image);
    for (int y = 0; y < textureSize; ++y)
        for (int x = 0; x < textureSize; ++x) ASSERT_EQ(turned.at(y, x), noise.at(x, y)) << x << "," << y;
    transposeImage(turned.layer.image, back.layer.image);
    EXPECT_TRUE(sameImage(back.layer, noise.layer));
}

// The warp's passes one read at a time, with the show's own sine.
TEST(TextureFastPaths, SineWarpMatchesItsReadsOneByOne) {
    const int cases[][6] = {{1, 1, 4, 10, 0, 0}, {8, 4, 6, 10, 0, 0}, {-3, 7, 127, -128, 2, -5}, {0, 0, -1, 1, 100, 3}};
    for (const auto& c : cases) {
        OwnedLayer layer, expected;
        fillNoise(layer.layer, 41);
        std::vector<uint32_t> rows(texturePixels);
        float phase = float(c[4]);
        for (int y = 0; y < textureSize; ++y) {
            float shift = float(c[2]) * portable::sin(phase);
            for (int x = 0; x < textureSize; ++x)
                rows[y * textureSize + x] = sampleWrappedScalar(float(x) + shift, float(y), layer.layer.image);
            phase += float(c[0]) * 3.14159265358979323846f / 128.0f;
        }
        phase = float(c[5]);
        for (int x = 0; x < textureSize; ++x) {
            float shift = float(c[3]) * portable::sin(phase);
            for (int y = 0; y < textureSize; ++y)
                expected.at(x, y) = sampleWrappedScalar(float(x), float(y) + shift, rows.data());
            phase += float(c[1]) * 3.14159265358979323846f / 128.0f;
        }
        sineWarp(layer.layer, c[0], c[1], c[2], c[3], c[4], c[5]);
        EXPECT_TRUE(sameImage(layer.layer, expected.layer)) << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
    }
}

// The swirl one pixel at a time, its turn worked out afresh for every pixel.
TEST(TextureFastPaths, SwirlMatchesItsReadsOneByOne) {
    const float pi = 3.14159265358979323846f;
    for (int amount : {40, -128, 127, 1}) {
        OwnedLayer layer, expected;
        fillNoise(layer.layer, 17);
        for (int v = -128; v < 128; ++v) {
            for (int u = -128; u < 128; ++u) {
                float r = std::sqrt(float(u * u + v * v));
                float angle = pi * r * (1.0f / 128.0f) * float(amount) * pi * (1.0f / 180.0f);
                float cosine = portable::cos(angle), sine = portable::sin(angle);
                expected.at(u + 128, v + 128) = sampleWrappedScalar(
                    float(u) * cosine - float(v) * sine, float(u) * sine + float(v) * cosine, layer.layer.image);
            }
        }
        swirl(layer.layer, amount);
        EXPECT_TRUE(sameImage(layer.layer, expected.layer)) << amount;
    }
}

TEST(TextureFastPaths, BlurMatchesThePlainBytes) {
    NoisePictures pictures(21);
    OwnedLayer tiles;  // the show's blurred picture: flat 2 x 2 tiles
    for (int y = 0; y < textureSize; ++y)
        for (int x = 0; x < textureSize; ++x) tiles.at(x, y) = pictures.noise.at(x & ~1, y & ~1);
    for (const TextureLayer* picture : {&pictures.noise.layer, &pictures.bright.layer, &tiles.layer}) {
        for (int passes : {1, 2, 6}) {
            OwnedLayer fast, plain;
            std::memcpy(fast.layer.image, picture->image, texturePixels * 4);
            std::memcpy(plain.layer.image, picture->image, texturePixels * 4);
            blurPasses(fast.layer, passes);
            blurPassesPlain(plain.layer, passes);
            ASSERT_TRUE(sameImage(fast.layer, plain.layer)) << passes << " passes";
        }
    }
}

// Every pair of an own and a source byte meets in the red and the green channel.
TEST(TextureFastPaths, MixAndMultiplyMatchThePlainChannels) {
    OwnedLayer original, source;
    for (int i = 0; i < texturePixels; ++i) {
        original.layer.image[i] = makePixel(i & 255, i >> 8, (i * 7) & 255, i * 13);
        source.layer.image[i] = makePixel(i >> 8, i & 255, (i * 11) & 255, i * 5);
    }
    OwnedLayer fast, plain;
    auto check = [&](auto fastOperation, auto plainOperation, const char* name, float value, int channels,
                     int sources) {
        std::memcpy(fast.layer.image, original.layer.image, texturePixels * 4);
        std::memcpy(plain.layer.image, original.layer.image, texturePixels * 4);
        fastOperation(fast.layer);
        plainOperation(plain.layer);
        ASSERT_TRUE(sameImage(fast.layer, plain.layer))
            << name << " " << value << ", channels " << channels << ", source " << sources;
    };
    for (int channels = 0; channels <= 5; ++channels) {
        for (int sources = 0; sources <= 5; ++sources) {
            for (float weight : {0.5f, 0.85f, -1.28f, 1.27f, 0.0f, -0.01f, 1.0f}) {
                check([&](TextureLayer& l) { mixLayers(l, source.layer, weight, 0.85f - weight, channels, sources); },
                      [&](TextureLayer& l) {
                          mixLayersPlain(l, source.layer, weight, 0.85f - weight, channels, sources);
                      },
                      "mix", weight, channels, sources);
                check([&](TextureLayer& l) { multiplyLayers(l, source.layer, weight, channels, sources); },
                      [&](TextureLayer& l) { multiplyLayersPlain(l, source.layer, weight, channels, sources); },
                      "multiply", weight, channels, sources);
            }
        }
    }
    // The layer as its own source.
    check([](TextureLayer& l) { mixLayers(l, l, 0.7f, 0.6f, 4, 2); },
          [](TextureLayer& l) { mixLayersPlain(l, l, 0.7f, 0.6f, 4, 2); }, "mix itself", 0.7f, 4, 2);
    check([](TextureLayer& l) { multiplyLayers(l, l, -0.78f, 4, 4); },
          [](TextureLayer& l) { multiplyLayersPlain(l, l, -0.78f, 4, 4); }, "multiply itself", -0.78f, 4, 4);
}

// Negative roughness draws displacements far beyond a byte's range (up to 49,151 for the whole
// picture's cell, for about half of the seeds; small seeds draw small first numbers).
TEST(TextureFastPaths, FractalColourMatchesThePlainChannels) {
    for (int roughness : {1, 2, 5, 127, -1, -127, -128, 0}) {
        for (int seed = -8 * 12345; seed < 8 * 12345; seed += 12345) {
            OwnedLayer fast, plain;
            genFractalColour(fast.layer, makePixel(204, 106, 9, 0x77), roughness, seed);
            genFractalColourPlain(plain.layer, makePixel(204, 106, 9, 0x77), roughness, seed);
            ASSERT_TRUE(sameImage(fast.layer, plain.layer)) << "roughness " << roughness << ", seed " << seed;
        }
    }
}

// Colours from a lattice of channel values that holds the ends and every tie between channels,
// shifted by amounts across each component's range.
TEST(TextureFastPaths, HsvShiftsMatchThePlainConversions) {
    const int levels[] = {0, 1, 2, 3, 7, 8, 31, 63, 64, 85, 100, 127, 128, 129, 170, 191, 200, 240, 252, 253, 254, 255};
    std::vector<uint32_t> colours;
    for (int r : levels)
        for (int g : levels)
            for (int b : levels) colours.push_back(makePixel(r, g, b, r ^ b));
    struct Shift {
        HsvComponent component;
        float amount;
    };
    std::vector<Shift> shifts;
    for (int amount : {-128, -127, -64, -1, 0, 1, 2, 63, 64, 127})
        shifts.push_back({HsvComponent::hue, float(int(float(amount) * 2.8125f))});
    for (int amount : {-128, -50, -1, 0, 1, 50, 127}) shifts.push_back({HsvComponent::value, float(amount)});
    for (int amount : {-128, -50, -1, 0, 1, 33, 127})
        shifts.push_back({HsvComponent::saturation, float(amount) * 0.01f});
    for (const Shift& shift : shifts) {
        std::vector<uint32_t> fast = colours, plain = colours;
        shiftHsv(fast.data(), int(fast.size()) - 1, shift.component, shift.amount);  // a tail of three
        shiftHsvPlain(plain.data(), int(plain.size()) - 1, shift.component, shift.amount);
        for (size_t i = 0; i < colours.size(); ++i)
            ASSERT_EQ(fast[i], plain[i]) << "colour " << std::hex << colours[i] << std::dec << ", component "
                                         << int(shift.component) << ", amount " << shift.amount;
    }
}
