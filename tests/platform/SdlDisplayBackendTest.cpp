// Built only with the SDL backend.
#if defined(PLATFORM_TESTS_WITH_SDL)
#include "platform/sdl/SdlDisplayBackend.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "display/Display.h"
#include "platform/sdl/SdlEventMapping.h"

namespace {

// Runs the real SDL backend on a video driver that needs no screen.
class SdlDisplayTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("SDL_VIDEODRIVER", "dummy", 1); }
    void TearDown() override {
        Display::close();
        unsetenv("SDL_VIDEODRIVER");
    }
};

TEST_F(SdlDisplayTest, OpensPresentsAndCloses) {
    SdlDisplayBackend backend;
    ASSERT_TRUE(Display::open(&backend, "test", 640, 480));
    ASSERT_NE(Display::converter, nullptr);
    EXPECT_EQ(Display::format.bitCount, 32) << "a 32-bit layout is preferred when the renderer has one";
    std::vector<uint32_t> pixels(640 * 480, 0x204060);
    for (int frame = 0; frame < 3; ++frame) {
        pixels[size_t(frame) * 1000] = 0xFFFFFF;
        EXPECT_TRUE(Display::present(pixels.data()));
    }
    EXPECT_EQ(Display::appActive, 1) << "a shown window counts as active";
    Display::close();
    // A second open after close works: the video subsystem was given back cleanly.
    ASSERT_TRUE(Display::open(&backend, "test", 320, 240));
    Display::close();
}

SDL_Event windowEvent(SDL_WindowEventID id) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = Uint8(id);
    return event;
}

SDL_Event keyDown(SDL_Keycode key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = key;
    return event;
}

TEST_F(SdlDisplayTest, WindowAndKeyEventsBecomeDisplayEvents) {
    SdlDisplayBackend backend;
    ASSERT_TRUE(backend.openScreen("test", 64, 48));
    DisplayEvent event;
    ASSERT_TRUE(backend.nextEvent(&event));
    EXPECT_EQ(event, DisplayEvent::Activated) << "a window shown at creation starts active";
    while (backend.nextEvent(&event)) {}

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_Event script[] = {windowEvent(SDL_WINDOWEVENT_FOCUS_LOST),
                          windowEvent(SDL_WINDOWEVENT_MOVED),
                          windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED),
                          windowEvent(SDL_WINDOWEVENT_MINIMIZED),
                          windowEvent(SDL_WINDOWEVENT_RESTORED),
                          windowEvent(SDL_WINDOWEVENT_HIDDEN),
                          keyDown(SDLK_a),
                          keyDown(SDLK_ESCAPE),
                          windowEvent(SDL_WINDOWEVENT_CLOSE),
                          quit};
    for (SDL_Event& sdlEvent : script) ASSERT_EQ(SDL_PushEvent(&sdlEvent), 1);
    std::vector<DisplayEvent> events;
    while (backend.nextEvent(&event)) events.push_back(event);
    EXPECT_EQ(events, (std::vector<DisplayEvent>{
                          DisplayEvent::Deactivated, DisplayEvent::Activated, DisplayEvent::Deactivated,
                          DisplayEvent::Activated, DisplayEvent::Deactivated, DisplayEvent::OtherKey,
                          DisplayEvent::EscapeKey, DisplayEvent::CloseRequest, DisplayEvent::CloseRequest}));
    backend.close();
}

// With no window manager nobody hands the focus back after another window took it and went away:
// being exposed or entered then activates (only then: an exposed window whose focus someone else
// holds stays as it was).
TEST(SdlEventMapping, ExposedOrEnteredActivatesOnlyWhenTheFocusIsOrphaned) {
    DisplayEvent event = DisplayEvent::OtherKey;
    for (SDL_WindowEventID id : {SDL_WINDOWEVENT_EXPOSED, SDL_WINDOWEVENT_ENTER}) {
        SDL_Event sdlEvent = windowEvent(id);
        EXPECT_TRUE(mayReclaimFocus(sdlEvent));
        EXPECT_FALSE(translateSdlEvent(sdlEvent, false, &event));
        ASSERT_TRUE(translateSdlEvent(sdlEvent, true, &event));
        EXPECT_EQ(event, DisplayEvent::Activated);
    }
    for (SDL_WindowEventID id : {SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_LEAVE, SDL_WINDOWEVENT_MOVED}) {
        SDL_Event sdlEvent = windowEvent(id);
        EXPECT_FALSE(mayReclaimFocus(sdlEvent));
        bool mapped = translateSdlEvent(sdlEvent, true, &event);
        EXPECT_TRUE(!mapped || event == DisplayEvent::Deactivated) << "an orphaned focus activates nothing else";
    }
    SDL_Event escape = keyDown(SDLK_ESCAPE);
    EXPECT_FALSE(mayReclaimFocus(escape));
    ASSERT_TRUE(translateSdlEvent(escape, true, &event));
    EXPECT_EQ(event, DisplayEvent::EscapeKey);
}

// A display that does not answer is named in the show's one line.
TEST_F(SdlDisplayTest, UnreachableDisplayIsNamed) {
    std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    std::string wayland = std::getenv("WAYLAND_DISPLAY") ? std::getenv("WAYLAND_DISPLAY") : "";
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("WAYLAND_DISPLAY");
    setenv("DISPLAY", ":9377", 1);
    SdlDisplayBackend backend;
    ::testing::internal::CaptureStderr();
    bool opened = Display::open(&backend, "test", 640, 480);
    std::string message = ::testing::internal::GetCapturedStderr();
    if (display.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", display.c_str(), 1);
    if (!wayland.empty()) setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
    EXPECT_FALSE(opened);
    EXPECT_NE(message.find("cannot open display :9377"), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), message.size() - 1) << "one line: " << message;
}

TEST_F(SdlDisplayTest, MissingDisplayFailsWithItsReason) {
    setenv("SDL_VIDEODRIVER", "no-such-video-driver", 1);
    SdlDisplayBackend backend;
    ::testing::internal::CaptureStderr();
    bool opened = Display::open(&backend, "test", 640, 480);
    std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(opened);
    EXPECT_NE(message.find("cannot open a display"), std::string::npos) << message;
    EXPECT_GT(message.size(), std::string("display: cannot open a display: \n").size()) << "SDL's reason is missing";
    EXPECT_EQ(message.find('\n'), message.size() - 1) << "one line";
}

// With no display at all SDL settles on its offscreen driver by itself; that is no display to show
// the picture on, so the open fails, unless that driver was asked for by name (the tests above).
TEST_F(SdlDisplayTest, NoDisplayIsNotPaperedOverByTheOffscreenDriver) {
    std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    std::string wayland = std::getenv("WAYLAND_DISPLAY") ? std::getenv("WAYLAND_DISPLAY") : "";
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    SdlDisplayBackend backend;
    ::testing::internal::CaptureStderr();
    bool opened = Display::open(&backend, "test", 640, 480);
    std::string message = ::testing::internal::GetCapturedStderr();
    std::string driver = opened && SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    if (!wayland.empty()) setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
    if (opened && driver != "offscreen" && driver != "dummy")
        GTEST_SKIP() << "this machine has a display that needs no server (" << driver << ")";
    EXPECT_FALSE(opened);
    EXPECT_NE(message.find("no display found"), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), message.size() - 1) << "one line: " << message;
}

}  // namespace
#endif
