#include "tools/programs/capture/OutputFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

bool fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

// Why a path that exists as a name cannot be followed: for a symbolic link, where it points.
std::string whyUnreachable(const std::string& path, int error) {
    struct stat link;
    char target[4096];
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return std::strerror(error);
    ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
    if (length < 0) return std::strerror(error);
    target[length] = 0;
    return std::string("it is a symbolic link to ") + target + ", which " +
           (error == ENOENT ? "does not exist" : std::string("cannot be reached: ") + std::strerror(error));
}

}  // namespace

void OutputFiles::addFile(OutputFiles& outputs, const std::string& path) {
    if (std::find(outputs.files.begin(), outputs.files.end(), path) == outputs.files.end())
        outputs.files.push_back(path);
}

void OutputFiles::addFolder(OutputFiles& outputs, const std::string& path) { outputs.folders.push_back(path); }

size_t OutputFiles::removeAll(OutputFiles& outputs) {
    size_t removed = 0;
    for (const std::string& file : outputs.files) {
        // Only a plain file: never a device such as /dev/null, nor a link (or what it points to).
        struct stat info;
        if (::lstat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode)) removed += ::unlink(file.c_str()) == 0;
    }
    for (auto folder = outputs.folders.rbegin(); folder != outputs.folders.rend(); ++folder) ::rmdir(folder->c_str());
    outputs.files.clear();
    outputs.folders.clear();
    return removed;
}

bool checkWritableFile(const std::string& path, OutputFiles& outputs, std::string* error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    bool created = fd >= 0;
    if (!created && errno == EEXIST) fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return fail(error, "cannot write " + path + ": " + std::strerror(errno));
    ::close(fd);
    if (created) OutputFiles::addFile(outputs, path);
    return true;
}

bool prepareFolder(const std::string& path, OutputFiles& outputs, std::string* error) {
    const char* dir = path.c_str();
    if (::mkdir(dir, 0755) == 0) {
        OutputFiles::addFolder(outputs, path);
        return true;
    }
    if (errno != EEXIST) return fail(error, "cannot make the folder " + path + ": " + std::strerror(errno));
    struct stat info;
    if (::stat(dir, &info) != 0) {
        int why = errno;
        return fail(error, "cannot write into " + path + ": " + whyUnreachable(path, why));
    }
    if (!S_ISDIR(info.st_mode)) return fail(error, "cannot write into " + path + ": not a folder");
    if (::access(dir, W_OK) != 0) return fail(error, "cannot write into " + path + ": " + std::strerror(errno));
    return true;
}
