// songgen: reads the song source files and writes the module image, both as an .xm file (to
// listen to) and as C++ source that embeds it in the show.
//
//   songgen OUT.cpp OUT.xm SOURCE...
//
// Exits 0 on success; on bad input prints one line to stderr and exits 1.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/songgen/EmbedSource.h"
#include "tools/songgen/SongBuilder.h"
#include "tools/songgen/SongParser.h"

namespace {

bool readFile(const char* path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return true;
}

bool writeFile(const char* path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(data), std::streamsize(size));
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: songgen OUT.cpp OUT.xm SOURCE...\n");
        return 1;
    }
    std::vector<SourceText> files;
    for (int i = 3; i < argc; ++i) {
        SourceText file{argv[i], ""};
        if (!readFile(argv[i], file.text)) {
            std::fprintf(stderr, "songgen: cannot read %s\n", argv[i]);
            return 1;
        }
        files.push_back(std::move(file));
    }
    SongSource source;
    XmSong song;
    std::string error;
    if (!parseSong(files, source, error) || !buildSong(source, song, error)) {
        std::fprintf(stderr, "songgen: %s\n", error.c_str());
        return 1;
    }
    std::vector<uint8_t> image = writeXm(song);
    std::string cpp = byteArraySource(image, "assets/Song.h", "songImage", "songImageSize");
    if (!writeFile(argv[2], image.data(), image.size()) || !writeFile(argv[1], cpp.data(), cpp.size())) {
        std::fprintf(stderr, "songgen: cannot write %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
