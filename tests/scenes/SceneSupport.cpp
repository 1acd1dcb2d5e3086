#include "tests/scenes/SceneSupport.h"

#include "engine/Bitmap.h"
#include "music/ModulePlayer.h"
#include "tools/common/XmWriter.h"

namespace {

constexpr uint32_t blockBytes = 882 * 4;  // 20 ms of 44100 Hz 16-bit stereo

}  // namespace

SongPosition::SongPosition() : image(writeXm(silentTimelineSong())) {
    ModulePlayer::create(&device, nullptr, image.data(), static_cast<uint32_t>(image.size()));
    ModulePlayer::start();
}

SongPosition::~SongPosition() { ModulePlayer::stop(); }

bool SongPosition::seek(int32_t order, int32_t row) {
    // The song is 1280 rows of two blocks each; a little more covers the start.
    for (int32_t blocks = 0; blocks < 2700; ++blocks) {
        int32_t nowOrder = ModulePlayer::currentOrder(), nowRow = ModulePlayer::currentRow();
        if (nowOrder == order && nowRow == row) return true;
        if (nowOrder > order || (nowOrder == order && nowRow > row)) return false;
        device.advance(blockBytes);
    }
    return false;
}

int64_t pixelsNotEqualTo(const Bitmap& bitmap, uint32_t colour) {
    return pixelsNotEqualToIn(bitmap, 0, 0, bitmap.width, bitmap.height, colour);
}

int64_t pixelsNotEqualToIn(const Bitmap& bitmap, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour) {
    int64_t count = 0;
    for (int32_t row = y < 0 ? 0 : y; row < y + height && row < bitmap.height; ++row)
        for (int32_t column = x < 0 ? 0 : x; column < x + width && column < bitmap.width; ++column)
            count += bitmap.pixels[row * bitmap.width + column] != colour;
    return count;
}
