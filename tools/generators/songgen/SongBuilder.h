#pragma once
#include <string>

#include "tools/common/XmWriter.h"
#include "tools/generators/songgen/SongSource.h"

// Turns a parsed song into the module description the XM writer takes: renders every sample,
// resolves instrument and pattern names to numbers, and lays the channel parts into patterns.
// Patterns are numbered in the order they are defined; instruments likewise, from 1.
// Returns false and sets error to a one-line reason when a name is unknown or a limit is broken.
bool buildSong(const SongSource& source, XmSong& song, std::string& error);
