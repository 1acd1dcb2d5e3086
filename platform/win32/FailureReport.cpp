#include "platform/win32/FailureReport.h"

#include <windows.h>

#include <cstdio>

static bool hasStderr() {
    HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    return GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

void reportFailure(const char* line) {
    if (hasStderr()) {
        std::fprintf(stderr, "%s\n", line);
        std::fflush(stderr);
        return;
    }
    MessageBoxA(nullptr, line, "intro", MB_OK | MB_ICONERROR);
}
