#include "elements/butterfly.h"

#include "elements/sprite.h"

namespace qel {

namespace {

Tool* wing(Tool& body, Sprite* sprite, const mat4& mirror) {
    Tool* w = new Tool(sprite, mat4::Identity(), pbr(), false);
    body.addChild(w, false);
    w->rotationAxis = vec3(0, 1, 0);
    const float width = sprite ? sprite->dimensions().x : 0.0f;
    w->assembly(mat4::Translation(-0.5f * width, 0.0f, 0.0f), mirror, mat4::Identity(), false, false);
    return w;
}

}  // namespace

Butterfly::Butterfly(Sprite* a, Sprite* b, float) : Tool(nullptr, mat4::Identity(), pbr(), false) {
    if (!b) b = a;
    Tool* left = wing(*this, a, mat4::Identity());
    Tool* right = wing(*this, b, mat4::Scale(-1.0f, 1.0f, 1.0f));
    left->joinInstances(right);
}

}  // namespace qel
