#include "platform/common/PlayedBytes.h"

void PlayedBytes::reset(PlayedBytes& played) {
    played.total = 0;
    played.last = 0;
}

uint64_t PlayedBytes::advance(PlayedBytes& played, uint32_t reading) {
    uint32_t moved = reading - played.last;  // modulo 2^32: a wrap counts as the distance past it
    if (moved < 0x80000000u) {
        played.total += moved;
        played.last = reading;
    }
    return played.total;
}
