#include "music/ModuleStream.h"

#include <cstring>

namespace {

ModuleStream installedOperations{};

void* memoryOpen(const void* source) {
    if (!source) return nullptr;
    const ModuleImage* image = static_cast<const ModuleImage*>(source);
    if (!image->data && image->size > 0) return nullptr;
    return new MemoryStream{image->size, 0, image->data};
}

void memoryClose(void* handle) { delete static_cast<MemoryStream*>(handle); }

uint32_t memoryRead(void* destination, uint32_t bytes, void* handle) {
    MemoryStream* stream = static_cast<MemoryStream*>(handle);
    uint32_t left = stream->size - stream->position;
    if (bytes > left) bytes = left;
    if (bytes > 0) std::memcpy(destination, stream->base + stream->position, bytes);
    stream->position += bytes;
    return bytes;
}

void memorySeek(void* handle, int32_t offset, int origin) {
    MemoryStream* stream = static_cast<MemoryStream*>(handle);
    int64_t target = stream->position;
    if (origin == 0)
        target = offset;
    else if (origin == 1)
        target += offset;
    else
        target = stream->size;
    if (target < 0) target = 0;  // a seek before the start stops at the start
    if (target > int64_t(stream->size)) target = stream->size;
    stream->position = uint32_t(target);
}

uint32_t memoryTell(void* handle) { return static_cast<MemoryStream*>(handle)->position; }

}  // namespace

bool ModuleStream::install(const ModuleStream& operations) {
    bool complete = operations.open && operations.close && operations.read && operations.seek && operations.tell;
    installedOperations = complete ? operations : ModuleStream{};
    return complete;
}

bool ModuleStream::installed() { return installedOperations.open != nullptr; }

const ModuleStream& ModuleStream::current() { return installedOperations; }

ModuleStream MemoryStream::operations() {
    return ModuleStream{memoryOpen, memoryClose, memoryRead, memorySeek, memoryTell};
}
