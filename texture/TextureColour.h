#pragma once
#include <cstdint>

// An RGB colour given as three bytes, as the texture commands carry it.
struct TextureRgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// Hue in degrees (0 <= h < 360, or -1 for a grey with no hue), saturation 0..1, value 0..255.
struct TextureHsv {
    float h = -1.0f;
    float s = 0.0f;
    float v = 0.0f;
};

// Converts the red, green and blue bytes of an image word. Black and greys give h = -1, s = 0.
TextureHsv rgbToHsv(uint32_t pixel);

// Converts back: h is first folded into 0..360 (so -1 becomes 359); each channel is truncated
// and clamped to 0..255. Components outside their ranges are accepted (the shifts produce them);
// h must be finite and within a few turns of 0.
// The result carries the colour in bytes 0..2 and 0 in the spare byte.
uint32_t hsvToRgb(float h, float s, float v);

// The component an HSV shift changes.
enum class HsvComponent { hue, saturation, value };

// Every pixel through rgbToHsv, amount added to one component, back through hsvToRgb.
void shiftHsv(uint32_t* pixels, int count, HsvComponent component, float amount);
// The same one pixel at a time with the two conversions above: the reference for shiftHsv, which
// converts four pixels at a time in float lanes where SSE2 exists, with the same operations in
// the same order (the branches become selects, the folding loops run until no lane needs them).
void shiftHsvPlain(uint32_t* pixels, int count, HsvComponent component, float amount);
