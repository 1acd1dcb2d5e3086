// songgen: reads the song source files and writes the module image, both as an .xm file (to
// listen to) and as C++ source that embeds it in the show.
//
//   songgen OUT.cpp OUT.xm SOURCE...
//
// Exits 0 on success; on bad input prints one line to stderr and exits 1.
#include <cstdio>

#include "tools/common/ByteArraySource.h"
#include "tools/common/FileBytes.h"
#include "tools/generators/songgen/SongBuilder.h"
#include "tools/generators/songgen/SongParser.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: songgen OUT.cpp OUT.xm SOURCE...\n");
        return 1;
    }
    std::vector<SourceText> files;
    std::string error;
    for (int i = 3; i < argc; ++i) {
        SourceText file{argv[i], ""};
        if (!readFileBytes(argv[i], file.text, &error)) {
            std::fprintf(stderr, "songgen: %s\n", error.c_str());
            return 1;
        }
        files.push_back(std::move(file));
    }
    SongSource source;
    XmSong song;
    if (!parseSong(files, source, error) || !buildSong(source, song, error)) {
        std::fprintf(stderr, "songgen: %s\n", error.c_str());
        return 1;
    }
    std::vector<uint8_t> image = writeXm(song);
    std::string cpp =
        byteArraySource(image, "songgen from the song source", "assets/Song.h", "songImage", "songImageSize");
    if (!writeFileBytes(argv[2], image.data(), image.size(), &error) ||
        !writeFileBytes(argv[1], cpp.data(), cpp.size(), &error)) {
        std::fprintf(stderr, "songgen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
