#pragma once
#include <cstdint>
#include <string>

// Writes a width x height frame of XRGB pixels (rows top-down) as an 8-bit RGB PNG, each pixel
// enlarged to scale x scale. False with *error set to one line when the file cannot be written.
bool writePng(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height, int32_t scale,
              std::string* error);
