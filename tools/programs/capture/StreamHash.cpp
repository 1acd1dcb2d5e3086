#include "tools/programs/capture/StreamHash.h"

#include <cstring>

namespace {

constexpr uint64_t prime1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t prime2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t prime3 = 0x165667B19E3779F9ull;
constexpr uint64_t prime4 = 0x85EBCA77C2B2AE63ull;
constexpr uint64_t prime5 = 0x27D4EB2F165667C5ull;

uint64_t rotate(uint64_t x, int bits) { return (x << bits) | (x >> (64 - bits)); }

uint64_t load64(const uint8_t* bytes) {
    uint64_t x;
    std::memcpy(&x, bytes, 8);  // little-endian on every target we build for
    return x;
}

uint64_t mixLane(uint64_t lane, uint64_t input) { return rotate(lane + input * prime2, 31) * prime1; }

void step(uint64_t lanes[4], const uint8_t* bytes) {
    for (int i = 0; i < 4; ++i) lanes[i] = mixLane(lanes[i], load64(bytes + 8 * i));
}

}  // namespace

StreamHash StreamHash::begin() {
    StreamHash hash{};
    hash.lanes[0] = prime1 + prime2;
    hash.lanes[1] = prime2;
    hash.lanes[2] = 0;
    hash.lanes[3] = 0 - prime1;
    return hash;
}

void StreamHash::add(StreamHash& hash, const void* bytes, size_t size) {
    const uint8_t* in = static_cast<const uint8_t*>(bytes);
    hash.totalBytes += size;
    if (hash.pendingBytes > 0) {
        size_t take = 32 - hash.pendingBytes < size ? 32 - hash.pendingBytes : size;
        std::memcpy(hash.pending + hash.pendingBytes, in, take);
        hash.pendingBytes += uint32_t(take);
        in += take;
        size -= take;
        if (hash.pendingBytes < 32) return;
        step(hash.lanes, hash.pending);
        hash.pendingBytes = 0;
    }
    for (; size >= 32; in += 32, size -= 32) step(hash.lanes, in);
    std::memcpy(hash.pending, in, size);
    hash.pendingBytes = uint32_t(size);
}

uint64_t StreamHash::value(const StreamHash& hash) {
    uint64_t h;
    if (hash.totalBytes >= 32) {
        const uint64_t* v = hash.lanes;
        h = rotate(v[0], 1) + rotate(v[1], 7) + rotate(v[2], 12) + rotate(v[3], 18);
        for (int i = 0; i < 4; ++i) h = (h ^ mixLane(0, v[i])) * prime1 + prime4;
    } else {
        h = prime5;
    }
    h += hash.totalBytes;
    const uint8_t* tail = hash.pending;
    uint32_t left = hash.pendingBytes;
    for (; left >= 8; tail += 8, left -= 8) h = rotate(h ^ mixLane(0, load64(tail)), 27) * prime1 + prime4;
    for (; left > 0; ++tail, --left) h = rotate(h ^ (uint64_t(*tail) * prime5), 11) * prime1;
    // Final avalanche: every input bit reaches every output bit.
    h ^= h >> 33;
    h *= prime2;
    h ^= h >> 29;
    h *= prime3;
    h ^= h >> 32;
    return h;
}

uint64_t hashBytes(const void* bytes, size_t size) {
    StreamHash hash = StreamHash::begin();
    StreamHash::add(hash, bytes, size);
    return StreamHash::value(hash);
}
