#include "texture/TextureLayer.h"

#include <cstring>

TextureLayer TextureLayer::allocate() {
    TextureLayer layer;
    layer.image = new uint32_t[texturePixels]();
    layer.packed = new uint32_t[texturePixels]();
    return layer;
}

void TextureLayer::release(TextureLayer& layer) {
    delete[] layer.image;
    delete[] layer.packed;
    layer.image = nullptr;
    layer.packed = nullptr;
}

void packLayer(TextureLayer& layer) {
    for (int i = 0; i < texturePixels; ++i) {
        uint32_t pixel = layer.image[i];
        layer.packed[i] = (pixel & 0xFF) << 16 | (pixel & 0xFF00) | (pixel >> 16 & 0xFF);
    }
}

uint32_t* allocateScratch() { return new uint32_t[texturePixels]; }

void commitScratch(TextureLayer& layer, uint32_t* scratch) {
    std::memcpy(layer.image, scratch, texturePixels * sizeof(uint32_t));
    delete[] scratch;
}
