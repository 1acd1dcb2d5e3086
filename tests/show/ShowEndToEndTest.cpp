// The whole show, start to end, as a viewer sees it: the real entry routine with the show's own
// Scenes and embedded song, on the headless display and the virtual sound device, captions through
// FreeType. Every presented frame moves the song on by one 20 ms audio block (50 frames a second).
// The Scenes are wrapped in recorders that log each call before handing it on.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "assets/Song.h"
#include "engine/Bitmap.h"
#include "music/ModulePlayer.h"
#include "platform/freetype/FreeTypeFontEngine.h"
#include "platform/headless/HeadlessDisplayBackend.h"
#include "platform/headless/VirtualAudioDevice.h"
#include "scenes/Scene.h"
#include "show/Show.h"
#include "tests/CaptionFace.h"

namespace {

std::vector<std::string> calls;
const char* renderedBy = nullptr;  // the Scene that drew the frame being presented

struct RecordingScene final : Scene {
    const char* name;
    Scene* inner;

    RecordingScene(const char* sceneName, Scene* wrapped) : name(sceneName), inner(wrapped) {
        calls.push_back(std::string("construct ") + name);
    }
    void init(Bitmap* target, LoadingStep stepDone) override {
        calls.push_back(std::string("init ") + name);
        inner->init(target, stepDone);
    }
    void reset() override {
        calls.push_back(std::string("reset ") + name);
        inner->reset();
    }
    void render(Bitmap* target, float timeStep, float clockMs) override {
        if (calls.back() != std::string("render ") + name) calls.push_back(std::string("render ") + name);
        renderedBy = name;
        inner->render(target, timeStep, clockMs);
    }
};

SceneSet realScenes;

void constructRecorded(SceneSet* scenes) {
    showSceneFactory().construct(&realScenes);
    scenes->title = new RecordingScene("title", realScenes.title);
    scenes->particleCloud = new RecordingScene("particles", realScenes.particleCloud);
    scenes->cube = new RecordingScene("cube", realScenes.cube);
    scenes->ring = new RecordingScene("ring", realScenes.ring);
    scenes->credits = new RecordingScene("credits", realScenes.credits);
}

void destroyRecorded(SceneSet* scenes) {
    for (Scene* scene : {scenes->credits, scenes->ring, scenes->cube, scenes->particleCloud, scenes->title}) {
        calls.push_back(std::string("destroy ") + static_cast<RecordingScene*>(scene)->name);
        delete static_cast<RecordingScene*>(scene);
    }
    showSceneFactory().destroy(&realScenes);
}

// One presented frame: where the song stood and what was on the screen.
struct Frame {
    bool playing;
    int32_t order;
    int32_t row;
    const char* scene;
    std::vector<uint32_t> pixels;
};

constexpr int32_t width = 640, height = 480;

// Pixels of frame differing from colour inside the rectangle.
int64_t inkIn(const Frame& frame, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
    int64_t count = 0;
    for (int32_t row = y; row < y + h; ++row)
        for (int32_t column = x; column < x + w; ++column)
            count += (frame.pixels[row * width + column] & 0xFFFFFF) != (colour & 0xFFFFFF);
    return count;
}

// The rows whose first frame the checks look at.
bool kept(int32_t order, int32_t row) {
    if (row == 1 || row == 33 || row == 63) return true;
    if ((order == 0 || order == 7) && (row == 19 || row == 24)) return true;
    if (order == 8 && (row == 15 || row == 20 || row == 31 || row == 36 || row == 47 || row == 52)) return true;
    return order == 9 && row == 10;
}

class ShowEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        HeadlessDisplayBackend display;
        VirtualAudioDevice audio;
        FreeTypeFontEngine fonts;
        fontsFound = fonts.open() && fonts.hasFace();

        display.setFrameSink([&](const uint32_t* pixels, int32_t w, int32_t h) {
            Frame frame{audio.isPlaying(), ModulePlayer::currentOrder(), ModulePlayer::currentRow(), renderedBy, {}};
            // Keep the pixels of the frames the checks below look at: the first frame of each row
            // they name.
            bool firstOfRow = frames.empty() || frames.back().row != frame.row || frames.back().order != frame.order;
            if (frame.playing && firstOfRow && kept(frame.order, frame.row))
                frame.pixels.assign(pixels, pixels + w * h);
            lastFrame.assign(pixels, pixels + w * h);
            frames.push_back(std::move(frame));
            renderedBy = nullptr;
            audio.advance(882 * 4);
        });

        ShowSetup setup;
        setup.display = &display;
        setup.fonts = fontsFound ? &fonts : nullptr;
        setup.audio = &audio;
        setup.song = songImage;
        setup.songSize = songImageSize;
        setup.scenes = SceneFactory{constructRecorded, destroyRecorded};
        status = runShow(setup);
    }
    static void TearDownTestSuite() {
        frames.clear();
        lastFrame.clear();
    }

    // The first frame showing (order, row), or null.
    static const Frame* firstFrameAt(int32_t order, int32_t row) {
        for (const Frame& frame : frames)
            if (frame.playing && frame.order == order && frame.row == row)
                return frame.pixels.empty() ? nullptr : &frame;
        return nullptr;
    }

    static inline std::vector<Frame> frames;
    static inline std::vector<uint32_t> lastFrame;
    static inline int status = 0;
    static inline bool fontsFound = false;
};

TEST_F(ShowEndToEnd, RunsEveryPartInOrderAndEndsNormally) {
    EXPECT_EQ(status, 1);
    const std::vector<std::string> expected = {
        "construct title", "construct particles", "construct cube",   "construct ring",    "construct credits",
        "init title",      "init particles",      "init cube",        "init ring",         "init credits",
        "reset title",     "render title",        "reset cube",       "render cube",       "reset ring",
        "render ring",     "reset particles",     "render particles", "reset credits",     "render credits",
        "destroy credits", "destroy ring",        "destroy cube",     "destroy particles", "destroy title"};
    EXPECT_EQ(calls, expected);

    // Thirteen texture commands and five Scene initialisations, each one loading-screen present.
    size_t loading = 0;
    while (loading < frames.size() && !frames[loading].playing) ++loading;
    EXPECT_EQ(loading, 18u);
}

TEST_F(ShowEndToEnd, EachOrderPositionIsDrawnByItsScene) {
    const std::map<int32_t, std::string> owner = {{0, "title"},     {1, "title"},   {2, "cube"},
                                                  {3, "ring"},      {4, "ring"},    {5, "particles"},
                                                  {6, "particles"}, {7, "credits"}, {8, "credits"}};
    std::map<int32_t, int64_t> framesPerOrder;
    for (const Frame& frame : frames) {
        if (!frame.playing) continue;
        ++framesPerOrder[frame.order];
        if (frame.order <= 8) {
            ASSERT_NE(frame.scene, nullptr) << "order " << frame.order << " row " << frame.row;
            ASSERT_EQ(frame.scene, owner.at(frame.order)) << "order " << frame.order << " row " << frame.row;
        } else {
            ASSERT_EQ(frame.scene, nullptr) << "the fade draws no Scene";
        }
    }
    for (int32_t order = 0; order <= 9; ++order) EXPECT_GT(framesPerOrder[order], 100) << "order " << order;
}

TEST_F(ShowEndToEnd, BackgroundsAreTheScenesOwnColours) {
    const std::map<int32_t, uint32_t> background = {
        {0, 0xFFFFFF}, {2, 0x325064}, {3, 0x5A2846}, {7, 0xFFFFFF}, {8, 0xFFFFFF}};
    for (auto [order, colour] : background)
        for (int32_t row : {1, 33, 63}) {
            const Frame* frame = firstFrameAt(order, row);
            ASSERT_NE(frame, nullptr) << order << ":" << row;
            EXPECT_EQ(frame->pixels[5 * width + 5] & 0xFFFFFF, colour) << order << ":" << row;
            EXPECT_EQ(frame->pixels[474 * width + 634] & 0xFFFFFF, colour) << order << ":" << row;
        }
    // The fade: uniform grey, and the very last frame black.
    const Frame* fade = firstFrameAt(9, 10);
    ASSERT_NE(fade, nullptr);
    for (uint32_t pixel : fade->pixels) ASSERT_EQ(pixel, fade->pixels[0]);
    ASSERT_EQ(lastFrame.size(), size_t(width * height));
    for (uint32_t pixel : lastFrame) ASSERT_EQ(pixel, 0u);
}

TEST_F(ShowEndToEnd, CaptionsSwitchAtTheirRows) {
    SKIP_UNLESS_ARIAL_IS_THE_REFERENCE_FACE();
    ASSERT_TRUE(fontsFound);
    struct Switch {
        int32_t order, row;  // the first row of the new caption
        int32_t x, y, w, h;  // where it appears
        uint32_t background;
        int32_t rowsToShow;  // fade-ins need a few rows before their ink is plain
    };
    // Title "pelmorand"; credits "is all we need", then "u-tarn", "sklo", "gimbo". The names are 23
    // rows apart and their ink lies on rows 4-24 of each 30-row caption, so each name's box starts
    // two rows into its caption, below the descenders of the one above.
    const Switch switches[] = {{0, 20, 310, 230, 120, 30, 0xFFFFFF, 4},
                               {7, 20, 270, 230, 150, 30, 0xFFFFFF, 4},
                               {8, 16, 250, 255, 80, 21, 0xFFFFFF, 4},
                               {8, 32, 250, 278, 80, 21, 0xFFFFFF, 4},
                               {8, 48, 250, 301, 80, 21, 0xFFFFFF, 4}};
    for (const Switch& s : switches) {
        const Frame* before = firstFrameAt(s.order, s.row - 1);
        const Frame* after = firstFrameAt(s.order, s.row + s.rowsToShow);
        ASSERT_TRUE(before && after) << s.order << ":" << s.row;
        EXPECT_EQ(inkIn(*before, s.x, s.y, s.w, s.h, s.background), 0) << "before " << s.order << ":" << s.row;
        EXPECT_GT(inkIn(*after, s.x, s.y, s.w, s.h, s.background), 50) << "after " << s.order << ":" << s.row;
    }
    // From row 64 of order 8 (the song's rows stop at 63) the credits draw nothing; order 8 row 63
    // still shows all four names.
    const Frame* lastRow = firstFrameAt(8, 63);
    ASSERT_NE(lastRow, nullptr);
    EXPECT_GT(inkIn(*lastRow, 250, 230, 80, 95, 0xFFFFFF), 200);
}

}  // namespace

namespace {

// Runs the whole show headless at 50 frames a second with Escape queued before frame `escapeAt`;
// every frame presented from escapeAt - 1 on is reported on stderr.
[[noreturn]] void runShowUntilEscape(uint64_t escapeAt) {
    HeadlessDisplayBackend display;
    VirtualAudioDevice audio;
    display.queueEventBeforeFrame(DisplayEvent::EscapeKey, escapeAt);
    uint64_t frame = 0;
    display.setFrameSink([&](const uint32_t*, int32_t, int32_t) {
        if (frame + 1 >= escapeAt) std::fprintf(stderr, "presented %llu\n", static_cast<unsigned long long>(frame));
        ++frame;
        audio.advance(882 * 4);
    });
    ShowSetup setup;
    setup.display = &display;
    setup.audio = &audio;
    setup.song = songImage;
    setup.songSize = songImageSize;
    setup.scenes = showSceneFactory();
    runShow(setup);
    std::exit(3);  // the show ran to its end: Escape was lost
}

}  // namespace

// Escape during loading, in the lattice, in the particle cloud and in the closing fade: the process
// ends at once with status 0, presenting nothing after the frame before the key. (At 50 frames a
// second the song starts after 18 loading frames and each order lasts 480 frames.)
void expectEscapeEndsTheShowBefore(uint64_t escapeAt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string last = "presented " + std::to_string(escapeAt - 1) + "\n$";
    EXPECT_EXIT(runShowUntilEscape(escapeAt), ::testing::ExitedWithCode(0), last);
}

TEST(ShowEndToEndDeathTest, EscapeDuringLoading) { expectEscapeEndsTheShowBefore(5); }
TEST(ShowEndToEndDeathTest, EscapeInTheLattice) { expectEscapeEndsTheShowBefore(18 + 480 * 2 + 240); }
TEST(ShowEndToEndDeathTest, EscapeInTheParticleCloud) { expectEscapeEndsTheShowBefore(18 + 480 * 5 + 480); }
TEST(ShowEndToEndDeathTest, EscapeInTheFade) { expectEscapeEndsTheShowBefore(18 + 480 * 9 + 240); }
