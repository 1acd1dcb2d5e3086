#include "tools/programs/xmrender/FileIdentity.h"

#include <sys/stat.h>

#if defined(_WIN32)
#include <filesystem>
#else
#include <unistd.h>
#endif

#if defined(_WIN32)

FileIdentity FileIdentity::ofPath(const std::string& path) {
    FileIdentity identity;
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::canonical(path, error);
    if (error) return identity;
    identity.known = true;
    identity.canonicalPath = canonical.string();
    return identity;
}

FileIdentity FileIdentity::ofStream(std::FILE*) { return FileIdentity{}; }

bool FileIdentity::same(const FileIdentity& a, const FileIdentity& b) {
    return a.known && b.known && a.canonicalPath == b.canonicalPath;
}

#else

namespace {

FileIdentity fromStat(const struct stat& info) {
    FileIdentity identity;
    identity.known = true;
    identity.device = uint64_t(info.st_dev);
    identity.inode = uint64_t(info.st_ino);
    return identity;
}

}  // namespace

FileIdentity FileIdentity::ofPath(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? fromStat(info) : FileIdentity{};
}

FileIdentity FileIdentity::ofStream(std::FILE* stream) {
    struct stat info;
    return ::fstat(fileno(stream), &info) == 0 && S_ISREG(info.st_mode) ? fromStat(info) : FileIdentity{};
}

bool FileIdentity::same(const FileIdentity& a, const FileIdentity& b) {
    return a.known && b.known && a.device == b.device && a.inode == b.inode;
}

#endif
