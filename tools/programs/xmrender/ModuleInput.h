#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/programs/xmrender/FileIdentity.h"

// The bytes of a module file, read whole: from a path, or from standard input for "-".
struct ModuleInput {
    std::string name;  // for messages: the path, or "standard input"
    std::vector<uint8_t> bytes;
    FileIdentity identity;  // the file read, where it is one

    // Reads path ("-": standard input). False with *error naming the cause in the system's words
    // (no such file, a folder, permission) or saying it is too large for a module.
    static bool read(ModuleInput& input, const std::string& path, std::string* error);
};
