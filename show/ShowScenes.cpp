#include "show/Show.h"

#include "scenes/CreditsScene.h"
#include "scenes/CubeScene.h"
#include "scenes/ParticleCloudScene.h"
#include "scenes/RingScene.h"
#include "scenes/TitleScene.h"

#include <initializer_list>

// The show's own Scenes. The construction order is the start-up order (title, particle cloud, cube,
// ring, credits) and destruction runs in reverse. A slot left null shows a black screen at its order
// positions while the music plays on.

static void constructShowScenes(SceneSet* scenes) {
    scenes->title = new TitleScene;
    scenes->particleCloud = new ParticleCloudScene;
    scenes->cube = new CubeScene;
    scenes->ring = new RingScene;
    scenes->credits = new CreditsScene;
}

static void destroyShowScenes(SceneSet* scenes) {
    for (Scene** scene : {&scenes->credits, &scenes->ring, &scenes->cube, &scenes->particleCloud, &scenes->title}) {
        delete *scene;
        *scene = nullptr;
    }
}

SceneFactory showSceneFactory() { return SceneFactory{constructShowScenes, destroyShowScenes}; }
