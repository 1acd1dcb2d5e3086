#pragma once
#include <cstddef>
#include <string>

// Whole files in and out, for the tools. Both return false with *error set to one line naming the
// file and the system's reason.

// Reads the file at path into contents (any bytes; a std::string holds them all).
bool readFileBytes(const std::string& path, std::string& contents, std::string* error);

// Writes size bytes from data to the file at path, replacing what was there.
bool writeFileBytes(const std::string& path, const void* data, size_t size, std::string* error);
