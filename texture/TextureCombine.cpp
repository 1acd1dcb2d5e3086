#include "texture/TextureCombine.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool validSelector(int selector) { return selector >= 1 && selector <= 4; }

// The source pixel read as a colour by sourceSelect (1..4), red, green and blue in bytes 0..2.
uint32_t sourceColour(uint32_t pixel, int sourceSelect) {
    if (sourceSelect == 4) return pixel;
    int grey = pixelChannel(pixel, sourceSelect - 1);
    return makePixel(grey, grey, grey);
}

// Applies channel(k, own value, source value) to the channels that channelSelect picks.
template <typename ChannelFunction>
void combine(TextureLayer& layer, const TextureLayer& source, int channelSelect, int sourceSelect,
             ChannelFunction channel) {
    if (!validSelector(channelSelect) || !validSelector(sourceSelect)) return;
    int first = channelSelect == 4 ? channelRed : channelSelect - 1;
    int last = channelSelect == 4 ? channelBlue : channelSelect - 1;
    for (int i = 0; i < texturePixels; ++i) {
        uint32_t s = sourceColour(source.image[i], sourceSelect);
        uint32_t pixel = layer.image[i];
        for (int k = first; k <= last; ++k)
            pixel = withChannel(pixel, k, channel(k, pixelChannel(pixel, k), pixelChannel(s, k)));
        layer.image[i] = pixel;
    }
}

}  // namespace

void remapThroughLayer(TextureLayer& layer, const TextureLayer& source, int channelSelect, int sourceSelect) {
    uint32_t table[textureSize];
    std::memcpy(table, layer.image, sizeof table);
    combine(layer, source, channelSelect, sourceSelect,
            [&table](int k, int, int s) { return pixelChannel(table[s], k); });
}

void mixLayersPlain(TextureLayer& layer, const TextureLayer& source, float layerWeight, float sourceWeight,
                    int channelSelect, int sourceSelect) {
    combine(layer, source, channelSelect, sourceSelect, [=](int, int own, int s) {
        return clampByte(int(float(own) * layerWeight) + int(float(s) * sourceWeight));
    });
}

void multiplyLayersPlain(TextureLayer& layer, const TextureLayer& source, float factor, int channelSelect,
                         int sourceSelect) {
    float scale = 1.0f - factor;
    combine(layer, source, channelSelect, sourceSelect,
            [=](int, int own, int s) { return clampByte(int(float(s) * scale * (1.0f / 255.0f) * float(own))); });
}

#if defined(__SSE2__)
namespace {

// Four pixels at a time, each channel a float lane: the channel function gives each lane's value
// as an integer, the signed and then unsigned saturating packs clamp it to 0..255 exactly as
// clampByte does, and the channels that channelSelect leaves out (and the spare byte) keep theirs.
template <typename LaneFunction>
void combineFour(TextureLayer& layer, const TextureLayer& source, int channelSelect, int sourceSelect,
                 LaneFunction lanes) {
    if (!validSelector(channelSelect) || !validSelector(sourceSelect)) return;
    uint32_t chosen = channelSelect == 4 ? 0xFFFFFFu : 0xFFu << (8 * (channelSelect - 1));
    const __m128i chosenBytes = _mm_set1_epi32(int32_t(chosen)), zero = _mm_setzero_si128();
    const __m128i greyShift = _mm_cvtsi32_si128(8 * (sourceSelect - 1)), low = _mm_set1_epi32(0xFF);
    auto floats = [zero](__m128i pixels, __m128 out[4]) {
        __m128i low16 = _mm_unpacklo_epi8(pixels, zero), high16 = _mm_unpackhi_epi8(pixels, zero);
        out[0] = _mm_cvtepi32_ps(_mm_unpacklo_epi16(low16, zero));
        out[1] = _mm_cvtepi32_ps(_mm_unpackhi_epi16(low16, zero));
        out[2] = _mm_cvtepi32_ps(_mm_unpacklo_epi16(high16, zero));
        out[3] = _mm_cvtepi32_ps(_mm_unpackhi_epi16(high16, zero));
    };
    for (int i = 0; i < texturePixels; i += 4) {
        __m128i own = _mm_loadu_si128(reinterpret_cast<const __m128i*>(layer.image + i));
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source.image + i));
        if (sourceSelect != 4) {  // one channel of the source as a grey (R, R, R)
            __m128i grey = _mm_and_si128(_mm_srl_epi32(s, greyShift), low);
            s = _mm_or_si128(_mm_or_si128(grey, _mm_slli_epi32(grey, 8)), _mm_slli_epi32(grey, 16));
        }
        __m128 ownLanes[4], sourceLanes[4];
        floats(own, ownLanes);
        floats(s, sourceLanes);
        __m128i result =
            _mm_packus_epi16(_mm_packs_epi32(lanes(ownLanes[0], sourceLanes[0]), lanes(ownLanes[1], sourceLanes[1])),
                             _mm_packs_epi32(lanes(ownLanes[2], sourceLanes[2]), lanes(ownLanes[3], sourceLanes[3])));
        result = _mm_or_si128(_mm_and_si128(result, chosenBytes), _mm_andnot_si128(chosenBytes, own));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(layer.image + i), result);
    }
}

}  // namespace

void mixLayers(TextureLayer& layer, const TextureLayer& source, float layerWeight, float sourceWeight,
               int channelSelect, int sourceSelect) {
    const __m128 ownWeight = _mm_set1_ps(layerWeight), otherWeight = _mm_set1_ps(sourceWeight);
    combineFour(layer, source, channelSelect, sourceSelect, [=](__m128 own, __m128 s) {
        return _mm_add_epi32(_mm_cvttps_epi32(_mm_mul_ps(own, ownWeight)),
                             _mm_cvttps_epi32(_mm_mul_ps(s, otherWeight)));
    });
}

void multiplyLayers(TextureLayer& layer, const TextureLayer& source, float factor, int channelSelect,
                    int sourceSelect) {
    const __m128 scale = _mm_set1_ps(1.0f - factor), inverse255 = _mm_set1_ps(1.0f / 255.0f);
    combineFour(layer, source, channelSelect, sourceSelect, [=](__m128 own, __m128 s) {
        return _mm_cvttps_epi32(_mm_mul_ps(_mm_mul_ps(_mm_mul_ps(s, scale), inverse255), own));
    });
}
#else
void mixLayers(TextureLayer& layer, const TextureLayer& source, float layerWeight, float sourceWeight,
               int channelSelect, int sourceSelect) {
    mixLayersPlain(layer, source, layerWeight, sourceWeight, channelSelect, sourceSelect);
}

void multiplyLayers(TextureLayer& layer, const TextureLayer& source, float factor, int channelSelect,
                    int sourceSelect) {
    multiplyLayersPlain(layer, source, factor, channelSelect, sourceSelect);
}
#endif

void copyLayer(TextureLayer& layer, const TextureLayer& source) {
    if (&layer == &source) return;
    std::memcpy(layer.image, source.image, texturePixels * sizeof(uint32_t));
    std::memcpy(layer.packed, source.packed, texturePixels * sizeof(uint32_t));
}
