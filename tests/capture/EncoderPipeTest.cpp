// Starting the encoder when descriptors run short: whatever step fails, nothing stays open.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "tools/programs/capture/EncoderPipe.h"

namespace {

size_t openDescriptors() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

// Starts the encoder with at most limit descriptors open; the limit is restored before returning.
bool startWithDescriptorLimit(EncoderPipe& pipe, const EncoderSettings& settings, rlim_t limit, std::string* error) {
    rlimit saved;
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit low = saved;
    low.rlim_cur = limit;
    setrlimit(RLIMIT_NOFILE, &low);
    bool started = EncoderPipe::start(pipe, settings, error);
    setrlimit(RLIMIT_NOFILE, &saved);
    return started;
}

}  // namespace

TEST(EncoderPipe, StartingShortOfDescriptorsLeavesNoneOpen) {
    if (!std::filesystem::is_directory("/proc/self/fd")) GTEST_SKIP() << "no /proc/self/fd to count descriptors";
    EncoderSettings settings;
    settings.program = "/bin/true";
    settings.output = "unused.mp4";
    const size_t before = openDescriptors();
    // Each step up lets one more descriptor be made: the three pipes fail at each of their ends
    // in turn until the program starts.
    bool started = false;
    for (rlim_t limit = rlim_t(before); limit < rlim_t(before) + 40 && !started; ++limit) {
        EncoderPipe pipe;
        std::string error;
        started = startWithDescriptorLimit(pipe, settings, limit, &error);
        if (started) {
            EncoderPipe::finish(pipe, &error);
        } else {
            EXPECT_NE(error.find("cannot make pipes for ffmpeg"), std::string::npos) << error;
        }
        EXPECT_EQ(openDescriptors(), before) << "with at most " << limit << " descriptors";
    }
    EXPECT_TRUE(started);
}
