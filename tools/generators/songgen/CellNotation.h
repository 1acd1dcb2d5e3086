#pragma once
#include <string>
#include <string_view>

#include "tools/generators/songgen/SongSource.h"

// The text notation of one pattern row, as it appears in phrases:
//
//   C-4  D#5  ...       a note: letter, '-' or '#', octave 0..7 (C-0 .. B-7)
//   off  ===            key-off
//   .                   nothing (an empty row, or a row with only attachments)
//
// followed by attachments, each introduced by ':'
//
//   @name               instrument for this note instead of the phrase's
//   ~                   no instrument byte (legato, tone portamento)
//   v40                 volume column: set volume 0..64 (decimal)
//   v-x v+x             volume slide down / up by hex x every tick
//   vdx vux             fine volume slide down / up
//   vsx vvx             vibrato speed / vibrato depth
//   vpx                 panning x * 16
//   vlx vrx             panning slide left / right
//   vmx                 tone portamento speed x * 16
//   A0F 037 E91 ...     an effect: its letter (0-9, A-Z) and two hex digits of parameter
//
// e.g. "C-4:v32:A02", ".:E93", "off", "G-4:~:305".

// Parses a note name ("C-4", "D#5") into a module note 1..96; 0 when it is not a note.
int parseNoteName(std::string_view text);

// Parses one row token. On failure returns false and sets error to a one-line reason.
bool parseCellToken(std::string_view token, SongCell& cell, std::string& error);
