#include "tests/song/SongSupport.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "assets/Song.h"

const RenderedSong& embeddedSongRender() {
    static RenderedSong song = [] {
        RenderedSong result;
        SongRender* render = SongRender::open(songImage, songImageSize);
        if (!render) return result;
        render->timeline = &result.timeline;
        std::vector<int16_t> block(size_t(render->blockFrames) * 2);
        // One block per call, so the float block always holds what the call converted.
        for (;;) {
            uint32_t got = SongRender::render(render, block.data(), render->blockFrames, true);
            for (uint32_t i = 0; i < got * 2; ++i)
                result.floatPeak = std::max(result.floatPeak, std::fabs(render->floatBlock[i]));
            result.pcm.insert(result.pcm.end(), block.begin(), block.begin() + got * 2);
            if (got < render->blockFrames) break;
        }
        SongRender::close(render);
        result.ok = true;
        return result;
    }();
    return song;
}

uint64_t firstFrameOfOrder(const RenderedSong& song, int order) {
    for (const SongTick& tick : song.timeline)
        if (tick.order == order) return tick.frame;
    return 0;
}

double rmsDbfs(const std::vector<int16_t>& pcm, uint64_t begin, uint64_t end, int side) {
    double sum = 0;
    uint64_t count = 0;
    end = std::min<uint64_t>(end, pcm.size() / 2);
    for (uint64_t frame = begin; frame < end; ++frame) {
        for (int s = 0; s < 2; ++s) {
            if (side != 2 && side != s) continue;
            double v = pcm[frame * 2 + s] / 32767.0;
            sum += v * v;
            ++count;
        }
    }
    if (count == 0 || sum == 0) return -200.0;
    return 10.0 * std::log10(sum / double(count));
}

bool readSongSources(std::vector<std::string>& names, std::vector<std::string>& texts) {
    std::vector<std::filesystem::path> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(SONG_SOURCE_DIR, error))
        if (entry.path().extension() == ".song") paths.push_back(entry.path());
    if (error || paths.empty()) return false;
    std::sort(paths.begin(), paths.end());
    for (const auto& path : paths) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        names.push_back(path.string());
        texts.push_back(text.str());
    }
    return true;
}
