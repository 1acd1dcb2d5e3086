#include <algorithm>
#include <cmath>

#include "engine/Draw2D.h"
#include "engine/Rounding.h"

void radialGlow(Bitmap& bitmap) {
    float hw = float(bitmap.width) * 0.5f, hh = float(bitmap.height) * 0.5f;
    float maxd = std::sqrt(hw * hw + hh * hh);
    int32_t count = bitmap.pixelCount();
    int32_t i = 0;
    for (float y = -hh; y < hh; y += 1.0f)
        for (float x = -hw; x < hw; x += 1.0f) {
            float fall = 1.0f - std::sqrt(x * x + y * y) / maxd;
            float g = fall * fall;
            auto channel = [g](float full) { return uint32_t(std::max(truncateToInt(g * full), 0)); };
            if (i < count) bitmap.pixels[i++] = (channel(70.0f) << 16) + (channel(130.0f) << 8) + channel(255.0f);
        }
}
