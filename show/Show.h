#pragma once
#include <cstdint>

class AudioDevice;
class DisplayBackend;
class FontEngine;
class Scene;

// The five Scenes of the show, in the order they are constructed and initialised.
struct SceneSet {
    Scene* title = nullptr;
    Scene* particleCloud = nullptr;
    Scene* cube = nullptr;
    Scene* ring = nullptr;
    Scene* credits = nullptr;
};

// Makes and destroys the Scenes. construct fills the set in the order title, particle cloud, cube,
// ring, credits; destroy deletes them in the reverse order. A Scene left null is skipped: its order
// positions show a black screen.
struct SceneFactory {
    void (*construct)(SceneSet* scenes) = nullptr;
    void (*destroy)(SceneSet* scenes) = nullptr;
};

// Everything the entry routine takes from outside: the platform's display, font engine and sound
// device, the song image and the Scenes.
struct ShowSetup {
    DisplayBackend* display = nullptr;
    FontEngine* fonts = nullptr;  // null: captions stay blank
    AudioDevice* audio = nullptr;
    AudioDevice* silentClock = nullptr;  // played instead when audio is null or cannot open
    const uint8_t* song = nullptr;
    uint32_t songSize = 0;
    SceneFactory scenes;
};

// The show's entry routine: opens the display, prepares everything behind the loading screen,
// starts the music and runs the scene timeline until the closing fade reaches black.
// Returns 1 after a normal run and when the display cannot be opened. Escape or a close request
// ends the process with status 0 from inside Display::present.
int runShow(const ShowSetup& setup);

// The Scenes of the show itself.
SceneFactory showSceneFactory();
