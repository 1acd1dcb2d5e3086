#pragma once
#include <string>
#include <vector>

#include "tools/generators/songgen/SongSource.h"

// The song source language. Line based; '#' at the start of a word begins a comment. Words are
// separated by blanks; "double quotes" make one word of several.
//
// Song settings (anywhere outside a block):
//   song "name"            channels 20            speed 6          tempo 100
//   restart 0              channel-names kick snare ...           order intro rise ...
//
// An instrument, then its samples (each sample ends at the next 'sample' or top-level word):
//   instrument NAME
//     volume-envelope 0:0 2:64 30:40 [sustain P] [loop FIRST LAST]    (tick:value points)
//     panning-envelope 0:32 64:20 ...                                 (32 is the centre)
//     fadeout N                                                       (as stored in the module)
//     auto-vibrato sine|square|ramp-down|ramp-up sweep S depth D rate R
//     sample NAME
//       bits 8|16   rate HZ   length N|SECONDSs   volume 0..64   pan 0..255
//       pitch NOTE|HZ          (a tonal sample: its fundamental; notes then play in tune)
//       root NOTE              (a sound without pitch: the note that plays it at its render rate)
//       transpose SEMITONES    keys LOW HIGH      seed N
//       loop none|forward|pingpong START LENGTH   crossfade N   fade SECONDS
//       drive AMOUNT           gain FACTOR
//       tone sine|saw|square|triangle|pulse [ratio R|hz F] [detune CENTS] [width W]
//            [to HZ time T] [level L] [attack A] [decay D] [lp HZ] [hp HZ]
//       noise [level L] [attack A] [decay D] [lp HZ] [hp HZ]
//       fm [ratio R|hz F] mod M index I [to I2 time T] [level L] [attack A] [decay D]
//       lowpass|highpass|bandpass HZ [to HZ2 time T] [res 0..1]
//
// A phrase: rows in the cell notation (CellNotation.h), one word per row, over any number of
// lines. TOKEN*N repeats a row; ( ... )*N repeats a group.
//   phrase NAME [@instrument]
//
// A pattern: one line per channel (more lines for the same channel continue it), naming the
// phrases it plays in turn. Each item is a phrase name or an inline phrase [ ... ], followed by
// modifiers: +N / -N transpose, @inst instrument, :vNN volume and :XYY effect for the notes that
// have none, *N repeat. >N skips N rows; a channel that skipped may run past the end and is cut
// there. Brackets may touch the words they enclose: "(C-5 .*3)*4", "[A-4 .]@lead".
// Notes take the phrase's instrument (or the item's @inst) unless the row names its own.
//   pattern NAME [from OTHER]   (from: start with OTHER's channels; a channel named here replaces
//                                OTHER's part for that channel)
//     rows 64
//     CHANNEL: item item ...    (CHANNEL is 1-based or a name from channel-names)

struct SourceText {
    std::string fileName;
    std::string text;
};

// Parses the files, in order, as one song. Returns false and sets error to
// "file:line: reason" (or just "reason" for whole-song problems) on the first fault.
bool parseSong(const std::vector<SourceText>& files, SongSource& song, std::string& error);
