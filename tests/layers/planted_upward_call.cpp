// A call planted on the scene floor that reaches the file formats above it:
// Scene::save is declared with the scene but defined in files/. Linked as the
// scene floor's check links (the floor and those below it) it must fail to
// link; linked as the files floor's check links it must succeed.
#include "scene/scene.h"

namespace qel {

bool plantedUpwardCall(Scene& scene) { return scene.save("planted.tl"); }

}  // namespace qel
