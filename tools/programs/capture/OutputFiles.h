#pragma once
#include <string>
#include <vector>

// The files and folders one capture run has made, so that a run that fails can take them away
// again: a failed run leaves no file it created. A file that existed before counts once the run
// has begun to replace its contents; one only checked for writing does not.
struct OutputFiles {
    std::vector<std::string> files;
    std::vector<std::string> folders;

    static void addFile(OutputFiles& outputs, const std::string& path);
    static void addFolder(OutputFiles& outputs, const std::string& path);
    // Removes every file recorded that is a plain file (not a device or a link), then every
    // recorded folder that is left empty, and forgets them; the number of files removed.
    static size_t removeAll(OutputFiles& outputs);
};

// Checks that path can be written as a file, without changing an existing one. A file it has to
// create for that is recorded. False with *error saying why not.
bool checkWritableFile(const std::string& path, OutputFiles& outputs, std::string* error);

// Makes sure path is a folder the run can write into, creating it (and recording it) when there
// is nothing there. False with *error saying why not: not a folder, a symbolic link to nothing,
// no permission.
bool prepareFolder(const std::string& path, OutputFiles& outputs, std::string* error);
