#include "core/Random.h"

namespace rng {

// A process that never seeds starts from 1, as the C runtime does.
static uint32_t state = 1;

void srand(uint32_t seed) { state = seed; }

int rand() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
}

}  // namespace rng
