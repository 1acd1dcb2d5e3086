#pragma once
#include <cstdint>

// One period of sine in 4096 floats: sineTable[i] = sin(2 pi i / 4096). Readers index it with the
// upper bits of a phase masked to 12 bits, and read the cosine a quarter period on:
// sineTable[(i + 1024) & 4095]. Null until buildSineTable, read-only afterwards.
constexpr int32_t sineTableSize = 4096;
constexpr int32_t sineTableMask = sineTableSize - 1;
constexpr int32_t sineQuarterTurn = sineTableSize / 4;  // the cosine's offset into the table
// One whole turn as a 16.16 phase whose upper 16 bits index the table.
constexpr int32_t sineTurnPhase = sineTableSize << 16;
extern float* sineTable;

// Allocates and fills the table; does nothing if it already exists.
void buildSineTable();

// Releases the table (sineTable becomes null again); safe to call when it does not exist.
void freeSineTable();
