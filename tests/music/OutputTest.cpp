#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "music/AudioOutput.h"
#include "music/ModuleLoader.h"
#include "music/ModulePlayer.h"
#include "music/ModuleStream.h"
#include "platform/common/SilentClockAudioDevice.h"
#include "platform/headless/SteppedAudioDevice.h"
#include "platform/headless/VirtualAudioDevice.h"
#include "tests/music/MusicSupport.h"

namespace {

constexpr uint32_t BlockBytes = 884 * 4;

// A busy little song: two channels of notes, a row change every tick at speed 1.
XmSong busySong(uint16_t tempo, uint16_t speed = 6) {
    XmSong song = makeSong(2, 16, speed, tempo);
    song.orders = {0, 1};
    song.patterns.push_back(XmPattern::empty(16, 2));
    song.instruments.push_back(makeInstrument(makeSample(500, XmLoop::Forward, 100, 400)));
    for (int p = 0; p < 2; ++p)
        for (int row = 0; row < 16; row += 2) {
            song.patterns[p].at(uint16_t(row), 0, 2) = XmCell{uint8_t(40 + row), 1, 0, 0, 0};
            song.patterns[p].at(uint16_t(row + 1), 1, 2) = XmCell{uint8_t(50 + p), 1, 0x30, 0, 0};
        }
    return song;
}

// An output on a virtual device, capturing what the device plays.
struct OutputRig {
    std::vector<uint8_t> image;
    std::unique_ptr<AudioOutput> output = std::make_unique<AudioOutput>();
    VirtualAudioDevice device;
    std::vector<int16_t> played;
    Module* module = nullptr;

    explicit OutputRig(const XmSong& song) : image(writeXm(song)) {
        device.setSink([this](const int16_t* samples, uint32_t frames) {
            played.insert(played.end(), samples, samples + 2 * size_t(frames));
        });
        module = loadImage(image);
        AudioOutput::open(*output, &device, 44100);
    }
    ~OutputRig() {
        freeModule(module);
        AudioOutput::close(*output);
    }
};

// The position a run without stalls reports once the device has played blocks whole blocks.
PositionSnapshot positionAfter(const XmSong& song, int blocks) {
    OutputRig rig(song);
    EXPECT_TRUE(AudioOutput::start(*rig.output, rig.module));
    for (int i = 0; i < blocks; ++i) EXPECT_TRUE(rig.device.advance(BlockBytes));
    PositionSnapshot position = AudioOutput::position(*rig.output);
    AudioOutput::stop(rig.output.get());
    return position;
}

bool samePosition(const PositionSnapshot& a, const PositionSnapshot& b) {
    return a.order == b.order && a.row == b.row && a.elapsedMs == b.elapsedMs;
}

// A time source the test moves by hand, in nanoseconds.
int64_t readClock(void* user) { return static_cast<std::atomic<int64_t>*>(user)->load(); }

}  // namespace

TEST(AudioOutput, DerivesBlockAndRingLengths) {
    OutputRig rig(busySong(125));
    EXPECT_EQ(rig.output->blockFrames, 884u);
    EXPECT_EQ(rig.output->ringFrames, 88400u);
    EXPECT_EQ(rig.output->blockCount, 100u);
    EXPECT_EQ(rig.output->mixer.rampLength, 128u);

    ModuleStream::install(ModuleStream{});  // not installed: opening refuses
    AudioOutput refused;
    EXPECT_FALSE(AudioOutput::open(refused, &rig.device, 44100));
    EXPECT_FALSE(AudioOutput::start(refused, rig.module));  // and start does not divide by zero
    ModuleStream::install(MemoryStream::operations());
}

TEST(AudioOutput, PositionFollowsTheAudibleBlock) {
    OutputRig rig(busySong(100));  // 1102 frames per tick
    ASSERT_TRUE(AudioOutput::start(*rig.output, rig.module));
    PositionSnapshot start = AudioOutput::position(*rig.output);
    EXPECT_EQ(start.order, 0);
    EXPECT_EQ(start.row, 0);
    EXPECT_EQ(start.elapsedMs, 20);  // the end of block 0: trunc(884 / 44100 s)

    ASSERT_TRUE(rig.device.advance(BlockBytes));
    // Block 1 ends after runs of 218 and 666 frames: 4 + 15 ms.
    EXPECT_EQ(AudioOutput::position(*rig.output).elapsedMs, 39);
    EXPECT_EQ(rig.output->readIndex.load(), 1u);

    // Six ticks of 1102 frames make a row: 6612 frames, inside block 7.
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(rig.device.advance(BlockBytes));
    PositionSnapshot seven = AudioOutput::position(*rig.output);
    EXPECT_EQ(seven.row, 1);
    EXPECT_GT(seven.elapsedMs, 150);
    EXPECT_LT(seven.elapsedMs, 161);

    // A whole ring later the refilled blocks are heard: the position keeps growing.
    int32_t previous = seven.elapsedMs;
    for (int i = 0; i < 150; ++i) {
        ASSERT_TRUE(rig.device.advance(BlockBytes));
        int32_t now = AudioOutput::position(*rig.output).elapsedMs;
        ASSERT_GT(now, previous);
        previous = now;
    }
    EXPECT_EQ(rig.output->readIndex.load(), 57u);
    AudioOutput::stop(rig.output.get());
    AudioOutput::stop(rig.output.get());  // releases nothing twice
    EXPECT_EQ(rig.output->ring, nullptr);
    EXPECT_EQ(rig.module->output, nullptr);
}

TEST(AudioOutput, ElapsedMillisecondsTruncateTheExactLengthOfEachRun) {
    OutputRig rig(busySong(125));  // 882 frames per tick: exactly 20 ms of true time
    ASSERT_TRUE(AudioOutput::start(*rig.output, rig.module));
    // Block 0: a run of 882 frames, 882 x (1 / 44100 as a float, just below the true value) x 1000
    // = 19.9999996 -> 19, then a run of 2 frames -> 0.
    EXPECT_EQ(AudioOutput::position(*rig.output).elapsedMs, 19);
    // Block 1: runs of 880 (19.95 -> 19) and 4 (0.09 -> 0) frames.
    ASSERT_TRUE(rig.device.advance(BlockBytes));
    EXPECT_EQ(AudioOutput::position(*rig.output).elapsedMs, 38);
    AudioOutput::stop(rig.output.get());
}

TEST(AudioOutput, StreamsExactlyWhatTheOfflineRenderProduces) {
    XmSong song = busySong(125, 2);
    OutputRig rig(song);
    ASSERT_TRUE(AudioOutput::start(*rig.output, rig.module));
    const int blocks = 260;  // more than two rings
    for (int i = 0; i < blocks; ++i) ASSERT_TRUE(rig.device.advance(BlockBytes));
    AudioOutput::stop(rig.output.get());

    std::vector<int16_t> rendered;
    ASSERT_TRUE(renderSong(rig.image.data(), uint32_t(rig.image.size()), 884 * blocks, false, rendered));
    ASSERT_EQ(rig.played.size(), rendered.size());
    EXPECT_TRUE(rig.played == rendered);
    int nonzero = 0;
    for (int16_t v : rendered) nonzero += v != 0;
    EXPECT_GT(nonzero, int(rendered.size() / 2));
}

TEST(AudioOutputConcurrency, StartPlayQueryStop) {
    OutputRig rig(busySong(125, 1));
    ASSERT_TRUE(AudioOutput::start(*rig.output, rig.module));
    std::atomic<bool> done{false};
    std::atomic<int> backwards{0};
    std::thread driver([&] {
        for (int i = 0; i < 300; ++i) rig.device.advance(BlockBytes / 2);
        done = true;
    });
    int32_t last = 0;
    while (!done) {
        int32_t now = ModulePlayer::elapsedMs(rig.module);
        if (now < last) ++backwards;
        last = now;
    }
    driver.join();
    EXPECT_EQ(backwards.load(), 0);
    // 151 blocks of about 20 ms heard; every run's truncation loses up to a millisecond.
    EXPECT_GT(ModulePlayer::elapsedMs(rig.module), 151 * 20 - 2 * 151);
    EXPECT_LE(ModulePlayer::elapsedMs(rig.module), 151 * 20);
    AudioOutput::stop(rig.output.get());
    EXPECT_EQ(ModulePlayer::elapsedMs(rig.module), 0);

    // A stop right after start, before the worker has run.
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(AudioOutput::start(*rig.output, rig.module));
        AudioOutput::stop(rig.output.get());
    }
}

// A device that runs the refill passes itself: no worker thread, and the same sound and song
// positions as the worker gives, whether the device moves in odd steps or a whole ring at once
// (which the pass meets as a device that has run past everything mixed).
TEST(AudioOutput, DeviceThatRefillsBySelfNeedsNoWorker) {
    XmSong song = busySong(125, 2);
    std::vector<uint8_t> image = writeXm(song);
    Module* module = loadImage(image);
    auto output = std::make_unique<AudioOutput>();
    SteppedAudioDevice device;
    std::vector<int16_t> played;
    device.setSink(
        [](void* user, const int16_t* samples, uint32_t frames) {
            auto* sound = static_cast<std::vector<int16_t>*>(user);
            sound->insert(sound->end(), samples, samples + 2 * size_t(frames));
        },
        &played);
    ASSERT_TRUE(AudioOutput::open(*output, &device, 44100));
    ASSERT_TRUE(AudioOutput::start(*output, module));
    EXPECT_FALSE(output->workerStarted);

    uint32_t frames = 0;
    for (uint32_t step : {1u, 883u, 884u, 5000u, 2072u}) {
        device.advance(step * 4);
        frames += step;
    }
    ASSERT_EQ(frames, 10u * 884);
    EXPECT_TRUE(samePosition(AudioOutput::position(*output), positionAfter(song, 10)));
    device.advance(88400 * 4);
    EXPECT_TRUE(samePosition(AudioOutput::position(*output), positionAfter(song, 110)));
    for (int i = 0; i < 150; ++i) device.advance(BlockBytes);
    EXPECT_TRUE(samePosition(AudioOutput::position(*output), positionAfter(song, 260)));
    AudioOutput::stop(output.get());
    EXPECT_FALSE(device.isPlaying());
    device.advance(BlockBytes);  // after stop the device neither plays nor calls the player
    AudioOutput::stop(output.get());

    std::vector<int16_t> rendered;
    ASSERT_TRUE(renderSong(image.data(), uint32_t(image.size()), 884 * uint64_t(260), false, rendered));
    ASSERT_EQ(played.size(), rendered.size());
    // The whole-ring step left block 110 sounding what its slot held from a lap before (the song
    // was caught up under it); every other block was mixed in time and is the offline render's.
    size_t staleStart = size_t(110) * 884 * 2, staleEnd = size_t(111) * 884 * 2;
    EXPECT_TRUE(std::equal(played.begin(), played.begin() + staleStart, rendered.begin()));
    EXPECT_FALSE(std::equal(played.begin() + staleStart, played.begin() + staleEnd, rendered.begin() + staleStart));
    EXPECT_TRUE(std::equal(played.begin() + staleEnd, played.end(), rendered.begin() + staleEnd));
    AudioOutput::close(*output);
    freeModule(module);
}

// A worker starved for longer than the ring lasts finds the device three laps and more ahead of
// what it mixed. The song must then stand where a run without the stall stands, and the sound
// from the next block on must be exactly the offline render's at the same frames.
TEST(AudioOutputConcurrency, StarvedWorkerCatchesUpWithTheDevice) {
    XmSong song = busySong(125, 2);
    OutputRig rig(song);
    ASSERT_TRUE(AudioOutput::start(*rig.output, rig.module));
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(rig.device.advance(BlockBytes));
    PositionSnapshot before = AudioOutput::position(*rig.output);

    rig.device.holdWorker();
    for (int lap = 0; lap < 3; ++lap) rig.device.advance(100 * BlockBytes, std::chrono::milliseconds(0));
    rig.device.advance(37 * BlockBytes, std::chrono::milliseconds(0));
    EXPECT_TRUE(samePosition(AudioOutput::position(*rig.output), before)) << "nothing moves while starved";
    ASSERT_TRUE(rig.device.releaseWorker());

    const int stalledAt = 10 + 300 + 37;
    PositionSnapshot caughtUp = AudioOutput::position(*rig.output);
    PositionSnapshot expected = positionAfter(song, stalledAt);
    EXPECT_EQ(caughtUp.elapsedMs, expected.elapsedMs);
    EXPECT_EQ(caughtUp.order, expected.order);
    EXPECT_EQ(caughtUp.row, expected.row);
    EXPECT_EQ(rig.output->readIndex.load(), uint32_t(stalledAt % 100));

    const int after = 150;
    for (int i = 0; i < after; ++i) ASSERT_TRUE(rig.device.advance(BlockBytes));
    EXPECT_TRUE(samePosition(AudioOutput::position(*rig.output), positionAfter(song, stalledAt + after)));
    AudioOutput::stop(rig.output.get());

    std::vector<int16_t> rendered;
    ASSERT_TRUE(
        renderSong(rig.image.data(), uint32_t(rig.image.size()), 884 * uint64_t(stalledAt + after), false, rendered));
    ASSERT_EQ(rig.played.size(), rendered.size());
    // Block stalledAt was already sounding (stale) when the worker woke; the next one is fresh.
    size_t fresh = size_t(stalledAt + 1) * 884 * 2;
    EXPECT_TRUE(std::equal(rig.played.begin() + fresh, rig.played.end(), rendered.begin() + fresh));
}

// The whole process stopped (no worker, no main thread) while the silent clock's time runs on:
// after a stall of 3.2 s and one of a minute the position is the one real time gives.
TEST(AudioOutputConcurrency, SilentClockKeepsSongTimeThroughStalls) {
    XmSong song = busySong(125, 2);
    std::vector<uint8_t> image = writeXm(song);
    Module* module = loadImage(image);
    ASSERT_NE(module, nullptr);
    std::atomic<int64_t> clock{1000};
    SilentClockAudioDevice silent;
    silent.setTimeSource(readClock, &clock);
    auto output = std::make_unique<AudioOutput>();
    ASSERT_TRUE(AudioOutput::open(*output, &silent, 44100));
    ASSERT_TRUE(AudioOutput::start(*output, module));

    // Each step sets the clock to a whole number of blocks since play began (plus half a block).
    const int64_t blockNs = 884 * int64_t(1000000000) / 44100;
    for (int block : {25, 185, 3185}) {
        clock.store(1000 + block * blockNs + blockNs / 2);
        PositionSnapshot expected = positionAfter(song, block);
        PositionSnapshot now{};
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        do {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            now = AudioOutput::position(*output);
        } while (!samePosition(now, expected) && std::chrono::steady_clock::now() < deadline);
        EXPECT_EQ(now.elapsedMs, expected.elapsedMs) << "at block " << block;
        EXPECT_EQ(now.order, expected.order) << "at block " << block;
        EXPECT_EQ(now.row, expected.row) << "at block " << block;
    }
    AudioOutput::close(*output);
    freeModule(module);
}

TEST(ModulePlayerConcurrency, FallsBackToTheSilentClockWhenTheDeviceFails) {
    XmSong song = busySong(125);
    std::vector<uint8_t> image = writeXm(song);
    VirtualAudioDevice broken;
    broken.setOpenFails(true);
    // The silent clock reads a time the test moves, so nothing depends on how fast the test runs.
    std::atomic<int64_t> clock{1000};
    SilentClockAudioDevice silentClock;
    silentClock.setTimeSource(readClock, &clock);
    testing::internal::CaptureStderr();
    Module* module = ModulePlayer::create(&broken, &silentClock, image.data(), uint32_t(image.size()));
    std::string note = testing::internal::GetCapturedStderr();
    ASSERT_NE(module, nullptr);
    EXPECT_NE(note.find("no sound device"), std::string::npos);
    EXPECT_EQ(ModulePlayer::elapsedMs(module), 0);
    ASSERT_TRUE(ModulePlayer::start());
    EXPECT_EQ(ModulePlayer::elapsedMs(module), 19);  // block 0: runs of 882 (19 ms) and 2 frames

    // Twelve blocks (and a half) later on the clock, the song stands where twelve played blocks put it.
    const int64_t blockNs = 884 * int64_t(1000000000) / 44100;
    clock.store(1000 + 12 * blockNs + blockNs / 2);
    PositionSnapshot expected = positionAfter(song, 12);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ModulePlayer::elapsedMs(module) != expected.elapsedMs && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(ModulePlayer::elapsedMs(module), expected.elapsedMs);
    EXPECT_EQ(ModulePlayer::currentOrder(module), expected.order);
    EXPECT_EQ(ModulePlayer::currentRow(module), expected.row);
    ModulePlayer::stop();
    ModulePlayer::stop();

    EXPECT_EQ(ModulePlayer::currentOrder(nullptr), 0);
    EXPECT_EQ(ModulePlayer::currentRow(nullptr), 0);
    EXPECT_EQ(ModulePlayer::elapsedMs(nullptr), 0);
    EXPECT_EQ(ModulePlayer::create(&broken, &silentClock, image.data(), 10), nullptr);  // not a module
    EXPECT_FALSE(ModulePlayer::start());
    ModulePlayer::stop();

    // With no device at all the song loads but does not start: there is no clock to follow.
    testing::internal::CaptureStderr();
    ASSERT_NE(ModulePlayer::create(&broken, nullptr, image.data(), uint32_t(image.size())), nullptr);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ModulePlayer::start());
    ModulePlayer::stop();
}
