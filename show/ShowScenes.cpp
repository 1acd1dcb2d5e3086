#include "show/Show.h"

// The show's own Scenes join this factory as they are built; until a Scene exists its slot stays
// null and its order positions show a black screen while the music plays on.
SceneFactory showSceneFactory() { return SceneFactory{}; }
