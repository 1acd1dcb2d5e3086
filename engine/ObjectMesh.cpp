#include "engine/ObjectMesh.h"

void ObjectMesh::destroy() {
    position.destroy();
    mesh.destroy();
}
