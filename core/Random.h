#pragma once
#include <cstdint>

// The show's pseudo-random generator: a 32-bit linear congruential state with the constants of
// the classic Windows C runtime, giving 15-bit results. Textures, particle positions and the
// loading screen's lights come from this one sequence, so they are identical on every platform.
// One process-wide state, used from the main thread only.
namespace rng {

constexpr int randMax = 0x7FFF;

// Restarts the sequence from seed.
void srand(uint32_t seed);

// Advances the state (state * 214013 + 2531011) and returns bits 16..30 of it: 0..32767.
int rand();

}  // namespace rng
