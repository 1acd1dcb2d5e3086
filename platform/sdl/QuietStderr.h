#pragma once
#include <cstdio>

#if defined(__unix__)
#include <fcntl.h>
#include <unistd.h>
#endif

// While one of these lives, stderr goes to /dev/null. The system libraries SDL probes (ALSA, the
// Wayland client) print their own diagnostics when they find nothing; the backends report a missing
// device in one line of their own instead, after this has restored stderr.
struct QuietStderr {
#if defined(__unix__)
    int saved = -1;
    QuietStderr() {
        std::fflush(stderr);
        int null = ::open("/dev/null", O_WRONLY);
        if (null < 0) return;
        saved = ::dup(2);
        ::dup2(null, 2);
        ::close(null);
    }
    ~QuietStderr() {
        if (saved < 0) return;
        std::fflush(stderr);
        ::dup2(saved, 2);
        ::close(saved);
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;
#endif
};
