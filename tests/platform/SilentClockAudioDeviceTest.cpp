#include "platform/common/SilentClockAudioDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

// Bytes a 44100 Hz stereo 16-bit device plays in the given time, in whole frames.
uint64_t bytesIn(std::chrono::steady_clock::duration elapsed) {
    int64_t nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
    return uint64_t(nanoseconds) / 1000 * 176400 / 1000000 & ~uint64_t(3);
}

}  // namespace

// Without a time source of its own the device counts on the steady clock: what it reports lies
// between what the time around the call to play and the time around the reading allow, however
// slowly the test runs.
TEST(SilentClockAudioDevice, ReportsTheBytesTheSteadyClockAllows) {
    SilentClockAudioDevice device;
    ASSERT_TRUE(device.open(44100));
    EXPECT_EQ(device.bytesPlayed(), 0u) << "nothing plays before play";
    auto beforePlay = std::chrono::steady_clock::now();
    ASSERT_TRUE(device.play(nullptr, 0));
    auto afterPlay = std::chrono::steady_clock::now();
    for (int reading = 0; reading < 3; ++reading) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        auto beforeRead = std::chrono::steady_clock::now();
        uint64_t bytes = device.bytesPlayed();
        auto afterRead = std::chrono::steady_clock::now();
        EXPECT_GE(bytes, bytesIn(beforeRead - afterPlay));
        EXPECT_LE(bytes, bytesIn(afterRead - beforePlay));
        EXPECT_EQ(bytes % 4, 0u) << "whole frames";
    }
    device.reset();
    EXPECT_EQ(device.bytesPlayed(), 0u) << "nothing plays after reset";
    device.close();
}
