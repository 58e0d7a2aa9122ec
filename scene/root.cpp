// Qel::Root.

#include "scene/root.h"

namespace qel {

Root::Root() : Tool(KindRoot, nullptr, mat4::Identity(), pbr(), false) {}

Root::~Root() = default;

void Root::toList(std::vector<Tool*>& list) {
    for (Tool* c : children) c->toList(list);
}

void Root::toList(std::vector<Tool*>& tools, std::vector<mat4>& matrices, std::vector<int>& parents,
                  std::vector<int>& subIndices, mat4 m, int, int) {
    for (Tool* c : children) c->toList(tools, matrices, parents, subIndices, m, int(tools.size()), -1);
}

}  // namespace qel
