// Drawing, sculpting and the animation tick of qel::Tool, and the
// class-wide values they read. The drawing bodies are empty until the object
// renderer is in place.

#include "scene/tool.h"

namespace qel {

double Tool::GlobalTime = 0.0;
std::uint8_t Tool::ShowHandles = 1;
std::uint8_t Tool::Error = 0;

void Tool::render(unsigned int, const mat4&, unsigned int) {}

void Tool::renderFeatures(const mat4&, const bvec4&) {}

bool Tool::hasFeatures() { return false; }

void Tool::renderAuxiliary(const mat4&, const bvec4&) {}

bool Tool::hasAuxiliary() { return false; }

void Tool::sculpt(std::vector<Sculptor*>&) {}

void Tool::timer() {}

}  // namespace qel
