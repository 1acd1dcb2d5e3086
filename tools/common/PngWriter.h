#pragma once
#include <cstdint>
#include <string>

// Writes a width x height frame of XRGB pixels (rows top-down) as an 8-bit RGB PNG, each pixel
// enlarged to scale x scale. False with *error set to one line when the file cannot be written.
bool writePng(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height, int32_t scale,
              std::string* error);

// Writes a width x height picture of ARGB pixels (alpha in the top byte, not premultiplied, rows
// top-down) as an 8-bit RGBA PNG at the best compression: for small pictures written once, such as
// icons. False with *error set to one line when the file cannot be written.
bool writePngWithAlpha(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height,
                       std::string* error);
