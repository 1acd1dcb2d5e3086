#include "tools/programs/capture/ShowPlan.h"

#include "music/Module.h"
#include "music/SongRender.h"
#include "show/Timeline.h"

namespace {

// Where the song stands at the end of one 20 ms block, as the player records it.
struct BlockEnd {
    uint8_t order;
    uint8_t row;
    uint32_t elapsedMs;
};

// Mixes the song block by block on demand, keeping every block's end position.
struct BlockPositions {
    SongRender* render;
    std::vector<BlockEnd> blocks;
    std::vector<int16_t> scratch;

    const BlockEnd& at(uint64_t block) {
        while (blocks.size() <= block) {
            SongRender::render(render, scratch.data(), render->blockFrames, false);
            const Module& song = *render->module;
            blocks.push_back({uint8_t(song.currentOrder), uint8_t(song.currentRow), uint32_t(song.elapsedMs)});
        }
        return blocks[block];
    }
    // The position the player answers while the device stands at soundFrame.
    const BlockEnd& audibleAt(uint64_t soundFrame) { return at(soundFrame / render->blockFrames); }
};

int32_t plannedOrder = 0;
int32_t readPlannedOrder(const Module*) { return plannedOrder; }

}  // namespace

uint64_t ShowPlan::framesInOrders(int32_t fromOrder, int32_t toOrder) const {
    uint64_t count = 0;
    for (SongPosition position : framePositions) count += position.order >= fromOrder && position.order <= toOrder;
    return count;
}

uint64_t ShowPlan::soundFramesInOrders(int32_t fromOrder, int32_t toOrder, FrameRate rate) const {
    uint64_t sound = 0;
    for (uint64_t n = 0; n < framePositions.size(); ++n)
        if (framePositions[n].order >= fromOrder && framePositions[n].order <= toOrder)
            sound += soundFramesDuring(n, rate);
    return sound;
}

uint64_t ShowPlan::firstFrameAt(SongPosition position) const {
    uint64_t n = 0;
    while (n < framePositions.size() && !(framePositions[n] == position)) ++n;
    return n;
}

bool planShow(const uint8_t* song, uint32_t songSize, FrameRate rate, uint64_t maxFrames, ShowPlan* plan,
              std::string* error) {
    const char* reason = nullptr;
    SongRender* render = SongRender::open(song, songSize, &reason);
    if (!render) {
        *error = std::string("the song cannot be played: ") + (reason ? reason : "unknown reason");
        return false;
    }
    BlockPositions positions{render, {}, std::vector<int16_t>(size_t(render->blockFrames) * 2)};
    plan->framePositions.clear();

    // The main loop, frame by frame: the clock starts at the first block's position, the fade
    // steps by the previous frame's time step, and the loop ends once the fade is at 0.
    uint32_t origin = positions.at(0).elapsedMs;
    float timeStep = 0.0f;
    float fadeLevel = 1.0f;
    bool ended = false;
    for (uint64_t n = 0; n < maxFrames && !ended; ++n) {
        const BlockEnd now = positions.audibleAt(soundFrameOf(n, rate));
        plannedOrder = now.order;
        if (pickTimelineSlot(readPlannedOrder, nullptr) == TimelineSlot::Fade)
            fadeLevel = nextFadeLevel(fadeLevel, timeStep);
        plan->framePositions.push_back(SongPosition{now.order, now.row});
        uint32_t frameStart = now.elapsedMs - origin;
        uint32_t next = positions.audibleAt(soundFrameOf(n + 1, rate)).elapsedMs - origin;
        timeStep = static_cast<float>(next - frameStart) * 0.06f;
        ended = fadeLevel == 0.0f;
    }
    SongRender::close(render);
    if (!ended) {
        *error = "the show does not end within " + std::to_string(maxFrames) + " frames";
        return false;
    }
    return true;
}
