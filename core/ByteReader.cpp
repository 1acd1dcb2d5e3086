#include "core/ByteReader.h"

void ByteReader::read(void* destination, uint32_t elementSize, uint32_t count) {
    uint64_t wanted = uint64_t(elementSize) * count;
    uint64_t available = remaining();
    uint64_t copied = wanted < available ? wanted : available;
    if (copied > 0) std::memcpy(destination, data + position, copied);
    if (copied < wanted) {
        std::memset(static_cast<uint8_t*>(destination) + copied, 0, wanted - copied);
        overrun = true;
    }
    uint64_t next = uint64_t(position) + wanted;
    position = next > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(next);
}
