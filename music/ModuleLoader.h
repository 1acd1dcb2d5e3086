#pragma once
#include "music/Module.h"

// Loads an Extended Module through the installed ModuleStream operations. source is what the
// stream's open takes (a ModuleImage for MemoryStream). Returns a new Module, or null when the
// stream cannot be opened or the image is not a module this player can play; then, when error is
// given, *error names the reason in a short static message.
//
// Counts, lengths and loop points are bounded by what the image holds, so any byte sequence loads
// into something the sequencer and mixer can play safely.
Module* loadModule(const void* source, const char** error = nullptr);

// Stops the output that plays module (waiting for a mixing pass in progress), then frees the
// module and everything it owns. Null is ignored.
void freeModule(Module* module);

// The shared silent sample: no data, length 0. Never freed.
Sample* emptySample();
