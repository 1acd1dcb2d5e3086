#pragma once
#include <cstdint>
#include <cstring>

// A read cursor over a block of bytes in memory. Values are little-endian and unaligned.
//
// Embedded data (the texture script, the object block) is trusted, but the same readers also take
// arbitrary bytes from tools and fuzzers, so the block has a size: a read that runs past the end
// copies what is left, fills the rest of the destination with zeros and sets `overrun`. Within the
// block a read behaves exactly like a plain copy-and-advance.
struct ByteReader {
    const uint8_t* data = nullptr;
    uint32_t size = 0;      // bytes in the block
    uint32_t position = 0;  // next byte to read; may pass `size` after an overrun
    bool overrun = false;

    static ByteReader over(const void* data, uint32_t size) {
        return ByteReader{static_cast<const uint8_t*>(data), size, 0, false};
    }

    // Copies size * count bytes to destination and advances by as many.
    void read(void* destination, uint32_t size, uint32_t count);

    // Reads one value of a plain integer type (int8_t .. uint32_t), little-endian.
    template <typename T>
    T readValue() {
        uint8_t bytes[sizeof(T)];
        read(bytes, sizeof(T), 1);
        uint64_t value = 0;
        for (unsigned i = 0; i < sizeof(T); ++i) value |= uint64_t(bytes[i]) << (8 * i);
        return static_cast<T>(value);
    }

    uint32_t remaining() const { return position < size ? size - position : 0; }
};
