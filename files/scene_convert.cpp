// qel::Scene: the conversions of an element shown by objects of the scene
// into a mesh or a clay. They must know the element types, so they live with
// the file formats above the element and tool folders.

#include "elements/clay.h"
#include "mesh/mesh.h"
#include "scene/scene.h"

namespace qel {

namespace {

// Every listed tool showing e shows `by` instead; whether any changed.
bool replaceShown(const std::vector<Tool*>& tools, Element* e, Element* by) {
    bool changed = false;
    for (Tool* t : tools) {
        if (t->element != e) continue;
        const int r = t->setElement(by);
        if (r != 0) changed = true;
        // e was freed with its last holder: no further tool can show it.
        if (r == 2) break;
    }
    return changed;
}

}  // namespace

bool Scene::ToMesh(Element* e) {
    if (!e) return false;
    if (e->isType(Element::TType::Mesh) || e->isType(Element::TType::Sprite) ||
        e->isType(Element::TType::AnimatedSprite))
        return false;
    Mesh* m = e->ToMesh();
    // An element without a mesh form keeps its objects as they are.
    if (!m) return false;
    // A conversion lists its records in the order it made them: a brush
    // on the new mesh wants them in space order.
    m->orderIfScattered();
    const bool changed = replaceShown(objects.tools, e, m);
    // A mesh that no object took is not kept.
    if (m->refCount <= 0) delete m;
    return changed;
}

bool Scene::ToClay(Element* e) {
    if (!e) return false;
    if (e->isType(Element::TType::Clay) || e->isType(Element::TType::Sprite) ||
        e->isType(Element::TType::AnimatedSprite))
        return false;
    Mesh* m = nullptr;
    if (e->isType(Element::TType::Mesh)) {
        if (!dynamic_cast<Mesh*>(e)) return false;
        m = static_cast<Mesh*>(e->unshare());
    } else {
        m = e->ToMesh();
    }
    // An element without a mesh form (a curve, a swept element without its
    // curves) keeps its objects as they are.
    if (!m) return false;
    Clay* clay = new Clay(m);
    // The clay holds its own copy: a conversion or an unshared copy is freed.
    if (m != e) delete m;
    const bool changed = replaceShown(objects.tools, e, clay);
    // A clay that no object took goes with its mesh.
    if (clay->refCount <= 0) delete clay;
    return changed;
}

}  // namespace qel
