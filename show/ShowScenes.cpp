#include "show/Show.h"

#include "scenes/CreditsScene.h"
#include "scenes/CubeScene.h"
#include "scenes/ParticleCloudScene.h"
#include "scenes/RingScene.h"
#include "scenes/TitleScene.h"

// The show's own Scenes. Each is made and destroyed through its concrete type; the construction
// order is the start-up order (title, particle cloud, cube, ring, credits) and destruction runs in
// reverse. A slot left null shows a black screen at its order positions while the music plays on.

static void constructShowScenes(SceneSet* scenes) {
    scenes->title = new TitleScene;
    scenes->particleCloud = new ParticleCloudScene;
    scenes->cube = new CubeScene;
    scenes->ring = new RingScene;
    scenes->credits = new CreditsScene;
}

static void destroyShowScenes(SceneSet* scenes) {
    delete static_cast<CreditsScene*>(scenes->credits);
    delete static_cast<RingScene*>(scenes->ring);
    delete static_cast<CubeScene*>(scenes->cube);
    delete static_cast<ParticleCloudScene*>(scenes->particleCloud);
    delete static_cast<TitleScene*>(scenes->title);
}

SceneFactory showSceneFactory() { return SceneFactory{constructShowScenes, destroyShowScenes}; }
