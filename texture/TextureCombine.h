#pragma once
#include "texture/TextureLayer.h"

// Operations that read a second layer, the source, pixel by pixel. The source may be the layer
// itself. channelSelect: 1 red, 2 green, 3 blue, 4 all three; sourceSelect, how a source pixel
// becomes a colour s: 1 (R, R, R), 2 (G, G, G), 3 (B, B, B), 4 (R, G, B). A selector outside
// 1..4 leaves the layer unchanged.

// The layer's own row 0 (as it was before the call) is a lookup table: each selected channel
// becomes that channel of pixel (s.channel, 0).
void remapThroughLayer(TextureLayer& layer, const TextureLayer& source, int channelSelect, int sourceSelect);

// Each selected channel k becomes clampByte(trunc(k * layerWeight) + trunc(s.k * sourceWeight)).
void mixLayers(TextureLayer& layer, const TextureLayer& source, float layerWeight, float sourceWeight,
               int channelSelect, int sourceSelect);

// Each selected channel k becomes clampByte(trunc(s.k * (1 - factor) / 255 * k)): factor 0 is a
// plain multiply, a negative factor brightens.
void multiplyLayers(TextureLayer& layer, const TextureLayer& source, float factor, int channelSelect, int sourceSelect);

// The same two one channel at a time, as the formulas read: the references for the versions
// above, which take four pixels at a time in float lanes where SSE2 exists. Weights and factors
// stay within a few units (the script's are signed bytes over 100).
void mixLayersPlain(TextureLayer& layer, const TextureLayer& source, float layerWeight, float sourceWeight,
                    int channelSelect, int sourceSelect);
void multiplyLayersPlain(TextureLayer& layer, const TextureLayer& source, float factor, int channelSelect,
                         int sourceSelect);

// Copies the source's image and packed words.
void copyLayer(TextureLayer& layer, const TextureLayer& source);
