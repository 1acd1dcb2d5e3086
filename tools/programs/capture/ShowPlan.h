#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/programs/capture/FrameSchedule.h"
#include "tools/programs/capture/SongPosition.h"

// The frames of a captured show worked out from the song alone, before anything is drawn: which
// song position is audible in each frame, from the song's first frame to the one on which the closing fade
// reaches black. It follows the main loop's own rules (the timeline, the fade, the time step taken
// from the song clock between two frames), with the song clock standing where the frame schedule
// puts the sound device; the capture checks the show against it.
struct ShowPlan {
    std::vector<SongPosition> framePositions;  // the audible position of every frame, in presentation order

    uint64_t frames() const { return framePositions.size(); }
    // The frames whose order lies in [fromOrder, toOrder].
    uint64_t framesInOrders(int32_t fromOrder, int32_t toOrder) const;
    // The sound frames those frames last.
    uint64_t soundFramesInOrders(int32_t fromOrder, int32_t toOrder, FrameRate rate) const;
    // The first frame at position; frames() when no frame is.
    uint64_t firstFrameAt(SongPosition position) const;
};

// Plans the show for song at rate. False with *error when the song cannot be loaded or the show
// would not end within maxFrames frames.
bool planShow(const uint8_t* song, uint32_t songSize, FrameRate rate, uint64_t maxFrames, ShowPlan* plan,
              std::string* error);
