#pragma once
// The first frame of an opened scene as the view builds it, shared by the
// first-frame tests, their probe and the first-frame benchmark.

#include <functional>

namespace qel {
class Element;
class Scene;
}  // namespace qel

namespace firstframe {

// Builds the scene's first frame: every tool of the objects list places
// itself (a cable takes a tube of its own there), then update() and
// buildVBO() of its element, which `built` is then shown when given.
void buildFirstFrame(qel::Scene& scene, const std::function<void(qel::Element&)>& built = nullptr);

// The processor seconds the process has used, on every thread (the
// software renderer's too).
double processorSeconds();

}  // namespace firstframe
