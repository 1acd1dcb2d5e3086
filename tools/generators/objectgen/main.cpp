// objectgen: reads the object source (shapes and camera path) and writes the "kelv" block, both
// as a binary file (to inspect) and as C++ source that embeds it in the show.
//
//   objectgen OUT.cpp OUT.kelv SOURCE
//
// Exits 0 on success; on bad input prints one line to stderr and exits 1.
#include <cstdio>

#include "tools/common/ByteArraySource.h"
#include "tools/common/FileBytes.h"
#include "tools/generators/objectgen/ObjectBuilder.h"
#include "tools/generators/objectgen/ObjectParser.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: objectgen OUT.cpp OUT.kelv SOURCE\n");
        return 1;
    }
    std::string text, error;
    if (!readFileBytes(argv[3], text, &error)) {
        std::fprintf(stderr, "objectgen: %s\n", error.c_str());
        return 1;
    }
    ObjectSource source;
    std::vector<uint8_t> block;
    if (!parseObjectSource(text, source, error) || !buildObjectBlock(source, block, error)) {
        std::fprintf(stderr, "objectgen: %s: %s\n", argv[3], error.c_str());
        return 1;
    }
    std::string cpp = byteArraySource(block, "objectgen from assets/object", "assets/ObjectBlock.h", "objectBlock",
                                      "objectBlockSize");
    if (!writeFileBytes(argv[2], block.data(), block.size(), &error) ||
        !writeFileBytes(argv[1], cpp.data(), cpp.size(), &error)) {
        std::fprintf(stderr, "objectgen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
