#include "tools/programs/xmrender/ModuleInput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace {

// Far above any module: the loader takes images of up to 4 GiB, but a file this large is not one.
constexpr size_t LargestModule = size_t(1) << 30;

bool fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

}  // namespace

bool ModuleInput::read(ModuleInput& input, const std::string& path, std::string* error) {
    bool fromStandardInput = path == "-";
    input.name = fromStandardInput ? "standard input" : path;
    input.bytes.clear();
    std::FILE* file = stdin;
    if (fromStandardInput) {
#if defined(_WIN32)
        _setmode(_fileno(stdin), _O_BINARY);
#endif
    } else {
        file = std::fopen(path.c_str(), "rb");
        if (!file) return fail(error, "cannot open " + path + ": " + std::strerror(errno));
    }
    input.identity = fromStandardInput ? FileIdentity::ofStream(file) : FileIdentity::ofPath(path);
    uint8_t chunk[65536];
    size_t got;
    bool tooLarge = false;
    while (!tooLarge && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        input.bytes.insert(input.bytes.end(), chunk, chunk + got);
        tooLarge = input.bytes.size() > LargestModule;
    }
    int why = std::ferror(file) ? errno : 0;
    if (!fromStandardInput) std::fclose(file);
    if (tooLarge) return fail(error, input.name + " is too large for a module");
    if (why != 0) return fail(error, "cannot read " + input.name + ": " + std::strerror(why));
    return true;
}
