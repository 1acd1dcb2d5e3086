#pragma once
#include "music/Module.h"

// Loads an Extended Module through the installed ModuleStream operations. source is what the
// stream's open takes (a ModuleImage for MemoryStream). Returns a new Module, or null when the
// stream cannot be opened or the image is not a module this player can play; then, when error is
// given, *error names the reason in a short message (valid until the next failed load on the same
// thread).
//
// Reads format versions 0x0102, 0x0103 and 0x0104, plain delta-coded and 4-bit packed sample data,
// and instruments of up to MaxInstrumentSamples samples. Counts, lengths and loop points are
// bounded by what the image holds, so any byte sequence loads into something the sequencer and
// mixer can play safely, or is refused: a file cut short inside the last sample data loads what is
// there, while sample data that runs past the end with more of the file still to come fails.
Module* loadModule(const void* source, const char** error = nullptr);

// Stops the output that plays module (waiting for a mixing pass in progress), then frees the
// module and everything it owns. Null is ignored.
void freeModule(Module* module);

// The shared silent sample: no data, length 0. Never freed.
Sample* emptySample();
