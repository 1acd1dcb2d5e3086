// The frame schedule's arithmetic, the plan of the show against the show itself, and the options.
#include <gtest/gtest.h>

#include "assets/Song.h"
#include "music/ModulePlayer.h"
#include "music/SongRender.h"
#include "tools/programs/capture/CaptureOptions.h"
#include "tools/programs/capture/CaptureSession.h"
#include "tools/programs/capture/ShowPlan.h"

#include <algorithm>

namespace {

TEST(FrameSchedule, FractionalRatesAddUpWithoutDrift) {
    FrameRate ntsc{60000, 1001};
    // 60000 frames at 60000/1001 last exactly 1001 seconds.
    EXPECT_EQ(soundFrameOf(60000, ntsc), 1001u * 44100u);
    uint64_t total = 0;
    uint32_t shortest = ~0u, longest = 0;
    for (uint64_t n = 0; n < 60000; ++n) {
        uint32_t during = soundFramesDuring(n, ntsc);
        total += during;
        shortest = std::min(shortest, during);
        longest = std::max(longest, during);
    }
    EXPECT_EQ(total, 1001u * 44100u);
    EXPECT_EQ(shortest, 735u);  // 735.735 sound frames a frame: 735 or 736, never more apart
    EXPECT_EQ(longest, 736u);
    EXPECT_EQ(soundFramesDuring(7, FrameRate{50, 1}), 882u);
    // Far into a very long capture the arithmetic still does not overflow.
    EXPECT_EQ(soundFrameOf(uint64_t(1) << 40, FrameRate{1000, 1000000}), (uint64_t(1) << 40) * 44100 * 1000);
}

struct WholeShow {
    CaptureResult result;
    std::vector<SongPosition> positions;
    uint64_t soundFrames = 0;
};

// The whole show with no Scenes (black frames are quick) and the show's own song.
WholeShow captureBlackShow(FrameRate rate) {
    WholeShow show;
    CaptureSetup setup;
    setup.rate = rate;
    setup.fonts = false;
    setup.song = songImage;
    setup.songSize = songImageSize;
    CaptureHooks hooks;
    hooks.frame = [&](const CapturedFrame& frame) {
        EXPECT_EQ(frame.index, show.positions.size());
        show.positions.push_back(SongPosition{frame.order, frame.row});
        return true;
    };
    hooks.sound = [&](const int16_t*, uint32_t frames) { show.soundFrames += frames; };
    show.result = captureShow(setup, hooks);
    return show;
}

TEST(ShowPlan, MatchesTheShowFrameByFrameAtEveryRate) {
    for (FrameRate rate : {FrameRate{50, 1}, FrameRate{60, 1}, FrameRate{60000, 1001}}) {
        SCOPED_TRACE(std::to_string(rate.numerator) + "/" + std::to_string(rate.denominator));
        ShowPlan plan;
        std::string error;
        ASSERT_TRUE(planShow(songImage, songImageSize, rate, 1000000, &plan, &error)) << error;
        WholeShow show = captureBlackShow(rate);
        EXPECT_TRUE(show.result.inStep);
        EXPECT_EQ(show.result.frames, plan.frames());
        EXPECT_EQ(show.positions, plan.framePositions);
        // Every frame's sound and nothing else: the sum of the frame intervals.
        EXPECT_EQ(show.soundFrames, soundFrameOf(plan.frames(), rate));
        EXPECT_EQ(plan.soundFramesInOrders(0, 255, rate), show.soundFrames);
        // The show covers the song up to 6.67 s into the closing fade of order 9.
        ASSERT_FALSE(show.positions.empty());
        EXPECT_EQ(show.positions.back().order, 9);
        EXPECT_GT(plan.framesInOrders(9, 9), 6 * rate.numerator / rate.denominator);
    }
}

TEST(ShowPlan, CountsFramesFromTheSongsTimeline) {
    // Where each order begins in the song, tick by tick.
    std::vector<int16_t> pcm;
    std::vector<SongTick> ticks;
    ASSERT_TRUE(renderSong(songImage, songImageSize, 44100 * 200, true, pcm, &ticks));
    for (FrameRate rate : {FrameRate{50, 1}, FrameRate{60000, 1001}}) {
        ShowPlan plan;
        std::string error;
        ASSERT_TRUE(planShow(songImage, songImageSize, rate, 1000000, &plan, &error)) << error;
        for (int32_t order = 1; order <= 9; ++order) {
            auto start = std::find_if(ticks.begin(), ticks.end(), [&](const SongTick& t) { return t.order == order; });
            ASSERT_NE(start, ticks.end());
            // The player answers for the 884-frame block now sounding, with the position at the
            // block's end: an order shows from the first frame taken inside the block it starts in.
            uint64_t block = start->frame / 884;
            uint64_t first = 0;
            while (soundFrameOf(first, rate) / 884 < block) ++first;
            EXPECT_EQ(plan.firstFrameAt(SongPosition{order, 0}), first) << "order " << order;
        }
    }
    // The closing fade lasts 400 time-step units of 1/60 s: 6667 ms of song clock after order 9
    // begins at 86.37 s, so the show at 50 frames a second ends after 93.32 s.
    ShowPlan plan;
    std::string error;
    ASSERT_TRUE(planShow(songImage, songImageSize, FrameRate{50, 1}, 1000000, &plan, &error)) << error;
    EXPECT_EQ(plan.frames(), 4666u);
    EXPECT_EQ(plan.firstFrameAt(SongPosition{12, 0}), plan.frames());
    EXPECT_FALSE(planShow(songImage, songImageSize, FrameRate{50, 1}, 1000, &plan, &error));
    EXPECT_NE(error.find("does not end"), std::string::npos);
}

bool parse(std::vector<const char*> args, CaptureOptions* options, std::string* error) {
    args.insert(args.begin(), "capture");
    return parseCaptureOptions(int(args.size()), args.data(), options, error);
}

TEST(CaptureOptions, ReadsEveryOptionAndItsDefaults) {
    CaptureOptions options;
    std::string error;
    ASSERT_TRUE(parse({"--png", "frames", "--fps=60000/1001", "--scale", "3", "--at", "0:10,9:63", "--from", "2",
                       "--to", "4", "--hash", "--no-fonts"},
                      &options, &error))
        << error;
    EXPECT_EQ(options.rate.numerator, 60000u);
    EXPECT_EQ(options.rate.denominator, 1001u);
    EXPECT_EQ(options.scale, 3);
    EXPECT_EQ(options.at, (std::vector<SongPosition>{{0, 10}, {9, 63}}));
    EXPECT_EQ(options.fromOrder, 2);
    EXPECT_EQ(options.toOrder, 4);
    EXPECT_FALSE(options.fonts);

    ASSERT_TRUE(parse({"-o", "show.MKV"}, &options, &error)) << error;
    EXPECT_EQ(options.format, VideoFormat::Mkv);
    ASSERT_TRUE(parse({"-o", "clip.bin", "--format", "mp4"}, &options, &error)) << error;
    EXPECT_EQ(options.format, VideoFormat::Mp4);
    EXPECT_EQ(options.rate.numerator, 50u);
    EXPECT_EQ(options.scale, 1);
    EXPECT_EQ(options.toOrder, 255);
}

TEST(CaptureOptions, RefusesWhatMakesNoSense) {
    const std::vector<std::vector<const char*>> bad = {
        {},  // nothing to write
        {"--hash", "--fps", "0"},
        {"--hash", "--fps", "2000"},  // faster than 1000 a second
        {"--hash", "--fps", "1/2"},   // slower than 1 a second
        {"--hash", "--fps", "60/"},
        {"--hash", "--scale", "0"},
        {"--hash", "--at", "3"},
        {"--hash", "--at", "1:2,"},
        {"--hash", "--at", "256:0"},
        {"--hash", "--from", "5", "--to", "4"},
        {"--hash", "--bogus"},
        {"--hash", "stray"},
        {"-o"},
        {"-o", "show.avi"},                 // no format from the name
        {"--hash", "--format", "mp4"},      // a format without a file
        {"-o", "show.mp4", "--at", "0:0"},  // single frames are not a video
    };
    for (const auto& args : bad) {
        CaptureOptions options;
        std::string error;
        EXPECT_FALSE(parse(args, &options, &error)) << (args.empty() ? "(none)" : args.back());
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

}  // namespace
