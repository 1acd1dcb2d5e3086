#include "texture/TextureCombine.h"

#include <cstring>

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

void mixLayers(TextureLayer& layer, const TextureLayer& source, float layerWeight, float sourceWeight,
               int channelSelect, int sourceSelect) {
    combine(layer, source, channelSelect, sourceSelect, [=](int, int own, int s) {
        return clampByte(int(float(own) * layerWeight) + int(float(s) * sourceWeight));
    });
}

void multiplyLayers(TextureLayer& layer, const TextureLayer& source, float factor, int channelSelect,
                    int sourceSelect) {
    float scale = 1.0f - factor;
    combine(layer, source, channelSelect, sourceSelect,
            [=](int, int own, int s) { return clampByte(int(float(s) * scale * (1.0f / 255.0f) * float(own))); });
}

void copyLayer(TextureLayer& layer, const TextureLayer& source) {
    if (&layer == &source) return;
    std::memcpy(layer.image, source.image, texturePixels * sizeof(uint32_t));
    std::memcpy(layer.packed, source.packed, texturePixels * sizeof(uint32_t));
}
