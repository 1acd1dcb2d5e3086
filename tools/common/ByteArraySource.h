#pragma once
#include <cstdint>
#include <string>
#include <vector>

// C++ source text that defines `const uint8_t arrayName[]` (4-byte aligned) holding bytes and
// `const uint32_t sizeName` holding their count, after including header (e.g. "assets/Song.h").
// Its first line says it was generated, by origin ("songgen from the song source").
std::string byteArraySource(const std::vector<uint8_t>& bytes, const std::string& origin, const std::string& header,
                            const std::string& arrayName, const std::string& sizeName);
