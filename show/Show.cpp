#include "show/Show.h"

#include "assets/TextureScript.h"
#include "display/Display.h"
#include "display/TextSprite.h"
#include "engine/Bitmap.h"
#include "engine/SineTable.h"
#include "engine/Viewport.h"
#include "music/ModulePlayer.h"
#include "scenes/Scene.h"
#include "show/FrameClock.h"
#include "show/Framebuffer.h"
#include "show/LoadingScreen.h"
#include "show/Timeline.h"
#include "texture/TextureScript.h"

#include <cstdio>
#include <initializer_list>

// The procedural textures built during loading; kept until the show ends.
static TextureTable textureTable;

// Draws the Scene that owns this frame; a missing Scene leaves a black frame.
static void renderScene(Scene* scene, float timeStep, uint32_t frameStart) {
    if (scene)
        scene->renderFrame(&framebuffer, timeStep, static_cast<float>(frameStart));
    else
        framebuffer.fill(0);
}

// Runs the timeline until the closing fade has reached 0. At least one frame is drawn.
static void runMainLoop(const SceneSet& scenes, const Module* song) {
    FrameClock clock;
    clock.start(song);
    float timeStep = 0.0f;
    float fadeLevel = 1.0f;
    do {
        uint32_t frameStart = clock.now();
        switch (pickTimelineSlot(ModulePlayer::currentOrder, song)) {
        case TimelineSlot::Title:
            projectionFlipY = true;
            renderScene(scenes.title, timeStep, frameStart);
            projectionFlipY = false;
            break;
        case TimelineSlot::Cube: renderScene(scenes.cube, timeStep, frameStart); break;
        case TimelineSlot::Ring: renderScene(scenes.ring, timeStep, frameStart); break;
        case TimelineSlot::ParticleCloud: renderScene(scenes.particleCloud, timeStep, frameStart); break;
        case TimelineSlot::Credits: renderScene(scenes.credits, timeStep, frameStart); break;
        case TimelineSlot::Fade:
            fadeLevel = nextFadeLevel(fadeLevel, timeStep);
            framebuffer.fillGrey(fadeLevel);
            break;
        case TimelineSlot::Nothing: break;
        }
        Display::present(framebuffer.pixels);
        timeStep = static_cast<float>(clock.now() - frameStart) * 0.06f;
    } while (fadeLevel != 0.0f);
}

int runShow(const ShowSetup& setup) {
    if (!Display::open(setup.display, "test", screenWidth, screenHeight)) return 1;

    useFontEngine(setup.fonts);
    LoadingScreen::caption = createTextSprite(0, 20, 0, "loading, please wait", 5, 500);
    textureTable = buildTextures(textureScriptTable, LoadingScreen::step);
    buildSineTable();

    SceneSet scenes;
    if (setup.scenes.construct) setup.scenes.construct(&scenes);
    for (Scene* scene : {scenes.title, scenes.particleCloud, scenes.cube, scenes.ring, scenes.credits})
        if (scene) scene->init(&framebuffer, LoadingScreen::step);

    Module* song = ModulePlayer::create(setup.audio, setup.silentClock, setup.song, setup.songSize);
    // Without a song or a device to play it on the song position would never move and the timeline
    // never end, so the show ends here instead.
    if (ModulePlayer::start())
        runMainLoop(scenes, song);
    else
        std::fprintf(stderr, "cannot play the song: %s\n",
                     song ? "no sound device and no silent clock" : "it does not load");

    ModulePlayer::stop();
    freeSineTable();
    Display::close();
    if (setup.scenes.destroy) setup.scenes.destroy(&scenes);
    // The textures and the loading caption last for the whole run; they go last of all.
    TextureTable::release(textureTable);
    delete LoadingScreen::caption;
    LoadingScreen::caption = nullptr;
    return 1;
}
