#include "tools/common/FileBytes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

bool fail(std::string* error, const std::string& what, const std::string& path, int cause) {
    *error = "cannot " + what + " " + path + ": " + (cause ? std::strerror(cause) : "unknown error");
    return false;
}

}  // namespace

bool readFileBytes(const std::string& path, std::string& contents, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return fail(error, "read", path, errno);
    contents.clear();
    char buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) contents.append(buffer, got);
    int cause = std::ferror(file) ? errno : 0;
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return failed ? fail(error, "read", path, cause) : true;
}

bool writeFileBytes(const std::string& path, const void* data, size_t size, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return fail(error, "write", path, errno);
    bool failed = std::fwrite(data, 1, size, file) != size;
    int cause = failed ? errno : 0;
    if (std::fclose(file) != 0 && !failed) {
        failed = true;
        cause = errno;
    }
    return failed ? fail(error, "write", path, cause) : true;
}
