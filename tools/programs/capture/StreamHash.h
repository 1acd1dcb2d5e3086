#pragma once
#include <cstddef>
#include <cstdint>

// A 64-bit hash of a stream of bytes fed in pieces of any size: the same bytes give the same
// value however they are split. Four independent 64-bit lanes take 32 bytes a step, so hashing
// keeps up with whole frames (not a cryptographic hash; it tells runs apart).
struct StreamHash {
    uint64_t lanes[4];
    uint8_t pending[32];  // bytes not yet taken as a whole 32-byte step
    uint32_t pendingBytes;
    uint64_t totalBytes;

    static StreamHash begin();
    static void add(StreamHash& hash, const void* bytes, size_t size);
    // The value of everything added so far; the stream can go on afterwards.
    static uint64_t value(const StreamHash& hash);
};

// The hash of one block of bytes on its own.
uint64_t hashBytes(const void* bytes, size_t size);
