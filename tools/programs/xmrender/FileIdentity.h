#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// Which file a name or an open stream stands for, so that two names for one file (another path
// to it, a hard or a symbolic link) compare equal: the device and inode numbers. Windows has no
// inode numbers in its stat; there the canonical path stands in (hard links are not seen).
struct FileIdentity {
    bool known = false;  // false: no such file, or a stream that is not a file
    uint64_t device = 0;
    uint64_t inode = 0;
    std::string canonicalPath;  // Windows only

    // The file path names (following symbolic links); unknown when there is none.
    static FileIdentity ofPath(const std::string& path);
    // The file an open stream reads or writes; unknown for pipes and terminals where it cannot tell.
    static FileIdentity ofStream(std::FILE* stream);
    // True when both are known and are the same file.
    static bool same(const FileIdentity& a, const FileIdentity& b);
};
