#pragma once

// The browser build's check: the show's own entry routine on a display that only hashes its frames
// and a stepped sound device, the song clock moved by a 50 frames a second schedule exactly as the
// capture tool moves it, and the captions blank. Prints the lines `capture --hash --no-fonts`
// prints ("frames N HASH", "sound N HASH"), which must be the same, then for the benchmark one line
// per order ("time ORDER FRAMES MILLISECONDS": the frames drawn while it was audible and the time
// they took, each from one flip to the next); returns 0.
int runCheck();
