#pragma once
#include <string>

#include "tools/generators/objectgen/ObjectSource.h"

// Reads the object source text (format described in assets/object/title.object). False with a
// one-line message naming the line in error when the text is not a valid source.
bool parseObjectSource(const std::string& text, ObjectSource& source, std::string& error);
