// The entry routine end to end on the headless display and the virtual sound device: a small test
// song stands in for the show's own, and recording Scenes stand in for the show's Scenes. Every
// presented frame moves the song on by 1/60 s, as a capture would.
#include "show/Show.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "engine/Viewport.h"
#include "platform/common/SilentClockAudioDevice.h"
#include "platform/headless/HeadlessDisplayBackend.h"
#include "platform/headless/VirtualAudioDevice.h"
#include "scenes/Scene.h"
#include "tools/common/XmWriter.h"

namespace {

// What the recording Scenes saw, in order.
std::vector<std::string> events;

// Fills the frame with its own colour so that the frames tell which Scene drew them.
struct ColourScene final : Scene {
    std::string name;
    uint32_t colour;
    bool flipSeenInRender = false;
    bool flipSeenElsewhere = false;
    std::vector<float> timeSteps;

    ColourScene(const char* sceneName, uint32_t sceneColour) : name(sceneName), colour(sceneColour) {
        events.push_back("construct " + name);
    }
    ~ColourScene() { events.push_back("destroy " + name); }

    void init(Bitmap*, LoadingStep) override {
        flipSeenElsewhere |= projectionFlipY;
        events.push_back("init " + name);
    }
    void reset() override {
        // The title's reset runs inside its renderFrame, within the flipped projection.
        if (name != "title") flipSeenElsewhere |= projectionFlipY;
        events.push_back("reset " + name);
    }
    void render(Bitmap* target, float timeStep, float) override {
        if (events.back() != "render " + name) events.push_back("render " + name);
        (name == "title" ? flipSeenInRender : flipSeenElsewhere) |= projectionFlipY;
        timeSteps.push_back(timeStep);
        target->fill(colour);
    }
};

constexpr uint32_t titleColour = 0x101010, particleColour = 0x202020, cubeColour = 0x303030, ringColour = 0x404040,
                   creditsColour = 0x505050;

void constructScenes(SceneSet* scenes) {
    scenes->title = new ColourScene("title", titleColour);
    scenes->particleCloud = new ColourScene("particles", particleColour);
    scenes->cube = new ColourScene("cube", cubeColour);
    scenes->ring = new ColourScene("ring", ringColour);
    scenes->credits = new ColourScene("credits", creditsColour);
}

void destroyScenes(SceneSet* scenes) {
    for (Scene* scene : {scenes->credits, scenes->ring, scenes->cube, scenes->particleCloud, scenes->title})
        delete scene;  // through the interface: each ColourScene records its destruction
}

ColourScene* sceneNamed(const SceneSet& scenes, int index) {
    Scene* all[] = {scenes.title, scenes.particleCloud, scenes.cube, scenes.ring, scenes.credits};
    return static_cast<ColourScene*>(all[index]);
}

// Ten orders: 0-8 play a one-row pattern (120 ms each at speed 6, tempo 125), order 9 a 64-row
// pattern (7.68 s), long enough for the closing fade. A quiet tone keeps the channel busy.
std::vector<uint8_t> testSong() {
    XmSong song;
    song.channels = 2;
    song.orders = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    song.patterns.push_back(XmPattern::empty(1, 2));
    song.patterns.push_back(XmPattern::empty(64, 2));
    song.patterns[0].at(0, 0, 2) = XmCell{49, 1, 0x20, 0, 0};
    XmInstrument tone;
    tone.name = "tone";
    XmSample sample;
    sample.bits = 8;
    for (int i = 0; i < 64; ++i) sample.data.push_back(static_cast<int16_t>(i < 32 ? 40 : -40));
    sample.loop = XmLoop::Forward;
    sample.loopLength = 64;
    tone.samples.push_back(sample);
    song.instruments.push_back(tone);
    return writeXm(song);
}

struct ShowRun : ::testing::Test {
    HeadlessDisplayBackend display;
    VirtualAudioDevice audio;
    std::vector<uint8_t> song = testSong();
    std::vector<uint32_t> frameColours;  // the top-left pixel of every presented frame
    std::vector<uint32_t> lastFrame;
    uint64_t audioFrames = 0;

    ShowSetup setup() {
        events.clear();
        audio.setSink([this](const int16_t*, uint32_t frames) { audioFrames += frames; });
        display.setFrameSink([this](const uint32_t* pixels, int32_t width, int32_t height) {
            frameColours.push_back(pixels[0]);
            lastFrame.assign(pixels, pixels + width * height);
            audio.advance(735 * 4);  // 1/60 s of 44100 Hz 16-bit stereo
        });
        ShowSetup s;
        s.display = &display;
        s.audio = &audio;
        s.song = song.data();
        s.songSize = static_cast<uint32_t>(song.size());
        s.scenes = SceneFactory{constructScenes, destroyScenes};
        return s;
    }
};

// Collapses runs of equal values.
std::vector<uint32_t> runsOf(const std::vector<uint32_t>& values) {
    std::vector<uint32_t> runs;
    for (uint32_t value : values)
        if (runs.empty() || runs.back() != value) runs.push_back(value);
    return runs;
}

}  // namespace

TEST_F(ShowRun, PlaysTheTimelineInOrderAndEndsOnABlackFrame) {
    ShowSetup show = setup();
    static SceneSet kept;
    show.scenes.destroy = [](SceneSet* scenes) {
        kept = *scenes;  // look at the Scenes before they go
        for (int i = 0; i < 5; ++i) {
            ColourScene* scene = sceneNamed(kept, i);
            EXPECT_FALSE(scene->flipSeenElsewhere) << scene->name;
            EXPECT_EQ(scene->flipSeenInRender, scene->name == "title");
            ASSERT_FALSE(scene->timeSteps.empty()) << scene->name;
        }
        EXPECT_EQ(sceneNamed(kept, 0)->timeSteps.front(), 0.0f);  // the very first frame
        destroyScenes(scenes);
    };

    EXPECT_EQ(runShow(show), 1);
    EXPECT_FALSE(projectionFlipY);

    const std::vector<std::string> expected = {
        "construct title", "construct particles", "construct cube",   "construct ring",    "construct credits",
        "init title",      "init particles",      "init cube",        "init ring",         "init credits",
        "reset title",     "render title",        "reset cube",       "render cube",       "reset ring",
        "render ring",     "reset particles",     "render particles", "reset credits",     "render credits",
        "destroy credits", "destroy ring",        "destroy cube",     "destroy particles", "destroy title"};
    EXPECT_EQ(events, expected);

    // Loading screens (black with the caption), then the Scenes' colours in timeline order, then
    // the fade: uniform grey levels falling to black.
    std::vector<uint32_t> runs = runsOf(frameColours);
    auto firstTitle = std::find(runs.begin(), runs.end(), titleColour);
    ASSERT_NE(firstTitle, runs.end());
    std::vector<uint32_t> timeline(firstTitle, firstTitle + 5);
    EXPECT_EQ(timeline, (std::vector<uint32_t>{titleColour, cubeColour, ringColour, particleColour, creditsColour}));
    uint32_t previousGrey = 0xFFFFFFFF;
    for (auto run = firstTitle + 5; run != runs.end(); ++run) {
        uint32_t grey = *run & 0xFF;
        EXPECT_EQ(*run, grey * 0x01010101u);
        EXPECT_LT(grey, previousGrey & 0xFF);
        previousGrey = *run;
    }
    EXPECT_EQ(frameColours.back(), 0u);
    for (uint32_t pixel : lastFrame) ASSERT_EQ(pixel, 0u);

    // The fade takes 400 time-step units, 6.67 s of song time: about 400 frames at 60 per second.
    size_t fadeFrames = frameColours.size() -
                        (std::find(frameColours.begin(), frameColours.end(), creditsColour) - frameColours.begin());
    EXPECT_GT(fadeFrames, 390u);
    EXPECT_LT(fadeFrames, 440u);
    EXPECT_GT(audioFrames, 44100u * 7);
}

TEST_F(ShowRun, ADisplayThatCannotOpenEndsAtOnceBeforeAnythingIsCreated) {
    struct NoDisplay final : DisplayBackend {
        int opens = 0;
        bool openScreen(const char*, int32_t, int32_t) override { return ++opens, false; }
        int32_t offeredFormats(SurfaceFormat*, int32_t) override { return 0; }
        bool createBackBuffer(const SurfaceFormat&) override { return false; }
        bool nextEvent(DisplayEvent*) override { return false; }
        bool lock(LockedSurface*) override { return false; }
        void unlock() override {}
        void flip() override {}
        void sleepMs(uint32_t) override {}
        void close() override {}
    } noDisplay;
    ShowSetup show = setup();
    show.display = &noDisplay;
    EXPECT_EQ(runShow(show), 1);
    EXPECT_EQ(noDisplay.opens, 1);
    EXPECT_TRUE(events.empty());  // no Scene was constructed
    EXPECT_FALSE(audio.isPlaying());
    EXPECT_EQ(audioFrames, 0u);
}

TEST_F(ShowRun, WithNoSoundDeviceTheSilentClockKeepsTheTimelineAndWithoutOneTheShowEnds) {
    ShowSetup show = setup();
    audio.setOpenFails(true);
    // The silent clock reads a time that every presented frame moves on by 1/60 s.
    static std::atomic<int64_t> fakeNanoseconds{0};
    SilentClockAudioDevice silentClock;
    silentClock.setTimeSource([](void*) { return fakeNanoseconds.load(); }, nullptr);
    show.silentClock = &silentClock;
    static uint32_t lastPixel = 1;
    display.setFrameSink([](const uint32_t* pixels, int32_t, int32_t) {
        lastPixel = pixels[0];
        fakeNanoseconds += 16666667;
    });
    show.scenes.construct = [](SceneSet*) {};
    show.scenes.destroy = [](SceneSet*) {};
    testing::internal::CaptureStderr();
    EXPECT_EQ(runShow(show), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no sound device"), std::string::npos);
    EXPECT_EQ(lastPixel, 0u);                          // the fade ran to black
    EXPECT_GT(fakeNanoseconds.load(), 7'500'000'000);  // through the test song's orders

    show.silentClock = nullptr;
    frameColours.clear();
    testing::internal::CaptureStderr();
    EXPECT_EQ(runShow(show), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot play the song"), std::string::npos);
    audio.setOpenFails(false);
}

using ShowRunDeathTest = ShowRun;

TEST_F(ShowRunDeathTest, EscapeEndsTheProcessWithStatusZeroDuringLoadingAndWhilePlaying) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (uint64_t frame : {2u, 40u}) {
        EXPECT_EXIT(
            {
                ShowSetup show = setup();
                display.queueEventBeforeFrame(DisplayEvent::EscapeKey, frame);
                runShow(show);
                std::exit(3);  // not reached
            },
            ::testing::ExitedWithCode(0), "")
            << "Escape before frame " << frame;
    }
    EXPECT_EXIT(
        {
            ShowSetup show = setup();
            display.queueEventBeforeFrame(DisplayEvent::CloseRequest, 30);
            runShow(show);
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}
