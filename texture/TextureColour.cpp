#include "texture/TextureColour.h"

#include <cmath>

#include "texture/TextureLayer.h"

TextureHsv rgbToHsv(uint32_t pixel) {
    float r = float(pixelChannel(pixel, channelRed));
    float g = float(pixelChannel(pixel, channelGreen));
    float b = float(pixelChannel(pixel, channelBlue));
    float max = r > g ? (r > b ? r : b) : (g > b ? g : b);
    float min = r < g ? (r < b ? r : b) : (g < b ? g : b);

    TextureHsv hsv;
    hsv.v = max;
    hsv.s = max != 0.0f ? (max - min) / max : 0.0f;
    if (hsv.s == 0.0f) {
        hsv.h = -1.0f;
        return hsv;
    }
    float d = max - min;
    float h;
    if (r == max)
        h = (g - b) / d;
    else if (g == max)
        h = 2.0f + (b - r) / d;
    else
        h = 4.0f + (r - g) / d;
    h = h * 60.0f;
    while (h < 0.0f) h += 360.0f;
    while (h >= 360.0f) h -= 360.0f;
    hsv.h = h;
    return hsv;
}

namespace {

// clampByte(trunc(x)), also safe for values past the int range.
int truncToByte(float x) {
    if (!(x > 0.0f)) return 0;
    if (x >= 255.0f) return 255;
    return int(x);
}

}  // namespace

uint32_t hsvToRgb(float h, float s, float v) {
    while (h < 0.0f) h += 360.0f;
    while (h >= 360.0f) h -= 360.0f;

    float r, g, b;
    if (s == 0.0f) {
        r = g = b = v;
    } else {
        float q = h / 60.0f;
        float i = std::floor(q);
        float f = q - i;
        float p = v * (1.0f - s);
        float qq = v * (1.0f - s * f);
        float t = v * (1.0f - s * (1.0f - f));
        // A hue a hair below 360 can round q up to 6.0; that sector is sector 0 again.
        switch (int(i) % 6) {
        case 0: r = v, g = t, b = p; break;
        case 1: r = qq, g = v, b = p; break;
        case 2: r = p, g = v, b = t; break;
        case 3: r = p, g = qq, b = v; break;
        case 4: r = t, g = p, b = v; break;
        default: r = v, g = p, b = qq; break;
        }
    }
    return makePixel(truncToByte(r), truncToByte(g), truncToByte(b));
}
