#if defined(PLATFORM_TESTS_WITH_SDL)
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include <unistd.h>

#include "platform/sdl/SdlAudioDevice.h"

// SDL's "disk" driver writes what the callback hands over to a file, as fast as it can, so the
// device's copying from the ring and its position can be checked without sound hardware.
TEST(SdlAudioDevice, CopiesTheRingWrappingAndReportsTheAudiblePosition) {
    char path[] = "/tmp/music-sdl-disk-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path, 1);
    setenv("SDL_DISKAUDIODELAY", "1", 1);

    // A ring of 3000 frames (not a multiple of the 1024-frame device buffer): frame i holds i, -i.
    const uint32_t ringFrames = 3000;
    std::vector<int16_t> ring(ringFrames * 2);
    for (uint32_t i = 0; i < ringFrames; ++i) {
        ring[2 * i] = int16_t(i);
        ring[2 * i + 1] = int16_t(-int32_t(i));
    }
    SdlAudioDevice device;
    if (!device.open(44100)) {
        close(fd);
        std::remove(path);
        GTEST_SKIP() << "SDL's disk audio driver is not available";
    }
    EXPECT_EQ(device.bytesPlayed(), 0u);
    ASSERT_TRUE(device.play(ring.data(), ringFrames * 4));

    uint64_t previous = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (previous < 3 * ringFrames * 4 && std::chrono::steady_clock::now() < deadline) {
        uint64_t now = device.bytesPlayed();
        ASSERT_GE(now, previous);
        ASSERT_EQ(now % 4, 0u);
        previous = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_GE(previous, 3u * ringFrames * 4);
    device.close();

    close(fd);
    std::FILE* file = std::fopen(path, "rb");
    ASSERT_NE(file, nullptr);
    std::fseek(file, 0, SEEK_END);
    long fileBytes = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    std::vector<int16_t> written(size_t(fileBytes) / 2);
    size_t got = std::fread(written.data(), sizeof(int16_t), written.size(), file);
    std::fclose(file);
    std::remove(path);
    // While paused before play, SDL writes silence: the ring starts at the frame before (1, -1).
    size_t start = 0;
    while (start + 2 < got && written[start + 2] != 1) start += 2;
    ASSERT_EQ(start % 2048, 0u);  // whole device buffers of silence only
    // The reported position trails what was handed over (written) by one 1024-frame buffer.
    EXPECT_GE(uint64_t(fileBytes) - start * 2, previous + 1024 * 4);
    ASSERT_GT(got, start + ring.size() * 2);
    for (size_t i = start; i < got; ++i) ASSERT_EQ(written[i], ring[(i - start) % ring.size()]) << i;
}
#endif
