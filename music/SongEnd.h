#pragma once
#include <cstdint>
#include <string>
#include <unordered_set>

#include "music/Module.h"

// Finds where a song ends while it plays: at a stop command (speed 0), or on reaching a row in a
// state it has been in before. What the sequencer does next depends on the order, the row and the
// pattern loops still running (each such channel's loop row and counter), so once those repeat
// after a row tick the song repeats from there on: an endless loop is cut at its first repeat,
// however it is made (a jump back, a break into another row, pattern loops that never run out),
// while a row played again inside a running loop is not a repeat.
struct SongEnd {
    enum Verdict { Playing, Repeats, Stopped };

    std::unordered_set<std::string> seen;  // states after the row ticks played so far
    std::string state;                     // the latest one

    // Call after every sequencer tick; tick is the tick number the tick ran as (0: a row tick).
    // Repeats: the row just ticked was played before in the same state, so the song ended where
    // this tick began. Stopped: the row asked to stop, so the song ends where this tick ends.
    static Verdict afterTick(SongEnd& end, const Module& module, int32_t tick);

    // Starts another pass through the song's loop: forgets every state but the latest.
    static void nextPass(SongEnd& end);
};
