#include "music/SongEnd.h"

#include "music/Channel.h"

SongEnd::Verdict SongEnd::afterTick(SongEnd& end, const Module& module, int32_t tick) {
    if (tick != 0) return Playing;
    if (module.speed == 0) return Stopped;
    std::string& state = end.state;
    state.clear();
    state.push_back(char(module.currentOrder));
    state.push_back(char(module.currentRow));
    // A channel's loop row matters only while its loop runs: once the counter is back at 0, the
    // next loop starts afresh (its E60 sets the row again before the loop end returns to it).
    for (int c = 0; c < module.channels; ++c) {
        const Channel& channel = module.channelTable[c];
        if (channel.loopCounter == 0) continue;
        state.push_back(char(c));
        state.push_back(char(channel.loopRow));
        state.push_back(char(channel.loopCounter));
    }
    return end.seen.insert(state).second ? Playing : Repeats;
}

void SongEnd::nextPass(SongEnd& end) {
    end.seen.clear();
    end.seen.insert(end.state);
}
