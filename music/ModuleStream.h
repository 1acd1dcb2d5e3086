#pragma once
#include <cstdint>

// The byte-stream interface the module loader reads through: a table of five operations that is
// installed once, all five or none.
struct ModuleStream {
    void* (*open)(const void* source);                                  // handle, or null
    void (*close)(void* handle);                                        // frees the handle
    uint32_t (*read)(void* destination, uint32_t bytes, void* handle);  // bytes actually copied
    void (*seek)(void* handle, int32_t offset, int origin);             // origin 0 start, 1 current, 2 end
    uint32_t (*tell)(void* handle);                                     // current position

    // Installs the table; if any operation is missing, all five are cleared. True when installed.
    static bool install(const ModuleStream& operations);
    // True while all five operations are installed.
    static bool installed();
    // The installed table (all null when not installed).
    static const ModuleStream& current();
};

// A song image in memory: the source that MemoryStream::open takes.
struct ModuleImage {
    const uint8_t* data;
    uint32_t size;
};

// The one stream implementation: reads a ModuleImage. Reads are clamped to the image, and a seek
// beyond the end stops at the end.
struct MemoryStream {
    uint32_t size;
    uint32_t position;
    const uint8_t* base;

    // The five operations over MemoryStream, ready for ModuleStream::install.
    static ModuleStream operations();
};
