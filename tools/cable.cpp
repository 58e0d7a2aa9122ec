// The cable: construction, its drawing matrix with the reshaped tube, its
// clones and its record.

#include "tools/cable.h"

#include <cmath>

#include "curves/bezier_curve.h"
#include "elements/tube.h"
#include "gl/buffer.h"

namespace qel {

namespace {

bool finite(const vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// Column 2 of m, the z axis of its frame, as a direction.
vec4 zColumn(const mat4& m) { return vec4(m.at(0, 2), m.at(1, 2), m.at(2, 2), m.at(3, 2)); }

Tube* newCableTube(Curve* profile) {
    return new Tube(new BezierCurve(vec3(0, 0, 0), vec3(0, 0, 0), BezierCurve::DefaultEdges), profile);
}

}  // namespace

Cable::Cable(Curve* profile, const mat4& m, const pbr& p, bool transparent)
    : BiTool(BiUniform, newCableTube(profile), m, p, transparent) {}

Cable::Cable(buffer& b) : BiTool(b) {}

Cable::Cable(TBiType t, Element* e, const mat4& m, const pbr& p, bool transparent) : BiTool(t, e, m, p, transparent) {}

Tube* Cable::cableTube() const {
    auto* tube = dynamic_cast<Tube*>(element);
    return tube && dynamic_cast<BezierCurve*>(tube->path) ? tube : nullptr;
}

// ---- Drawing ----

mat4 Cable::transformRender(const mat4& m) {
    const mat4 t = BiTool::transformRender(m);
    reshape(t);
    return t;
}

void Cable::reshape(const mat4& t) {
    Tube* tube = cableTube();
    if (!tube || !partner) return;
    const float l = length;
    const float l0 = referenceLength;
    if (!(l > MinLength) || !(l0 > MinLength) || !std::isfinite(l) || !std::isfinite(l0)) return;
    mat4 ti;
    if (!t.tryInverse(ti)) return;
    // Both end directions in the cable's drawing frame: this end's z axis
    // (its pivot's, placed by the parent) and the partner's.
    const vec3 a = (ti * (parentMatrix * zColumn(pivot))).xyz();
    const vec3 c = (ti * zColumn(partner->endMatrix)).xyz();
    const float size = l * SectionScale / l0;
    if (!finite(a) || !finite(c) || !std::isfinite(size)) return;
    tube = ownTube(tube);
    auto* path = static_cast<BezierCurve*>(tube->path);
    path->setup(a, c, l, 0);
    // The tube divides the section by the profile's size and the cable is
    // scaled by L: the section drawn at L x 50 / L0 is the profile's at
    // L0 / 50 whatever the length. That factor goes to the radii of the
    // cable's own path, never to the profile, which other cables share at
    // lengths of their own: each cable's tube then rebuilds only when its
    // own thickness must change.
    if (tube->profile) setRadius(*path, tube->profile->size() / size);
}

void Cable::setRadius(BezierCurve& path, float radius) {
    if (!std::isfinite(radius)) return;
    bool changed = false;
    for (CurveVertex& v : path.vertices) {
        changed |= v.radius != radius;
        v.radius = radius;
    }
    // Stamped, not touched: the radii leave the path's frames as they are.
    if (changed) path.updateStamp = Element::GlobalUpdate;
}

Tube* Cable::ownTube(Tube* tube) {
    // The path's holders beyond this tube's own references are others.
    if (tube->refCount <= 1 && tube->path->refCount <= tube->refCount) return tube;
    Tube* fresh = newCableTube(tube->profile);
    // The surface stays within what its load could pay for.
    fresh->vbo.mostVertices = tube->vbo.mostVertices;
    setElement(fresh);
    return fresh;
}

// ---- Cloning ----

BiTool* Cable::newEnd() {
    const bool transparent = (flags & FlagTransparent) != 0;
    if (Tube* tube = cableTube()) return new Cable(tube->profile, transform, material, transparent);
    return new Cable(type, element, transform, material, transparent);
}

Tool* Cable::CloneObjectRamifications(const mat4& m, bool join, unsigned char mark) {
    if (mark != 0) Mark(1);
    BiTool* c = makeEnd(true);
    c->pivot = m * pivot;
    if (join) joinInstances(c);
    finishClone(c, [](Tool* child) { return child->CloneObject(mat4::Identity(), true, 0); });
    if (mark != 0) Mark(0);
    return c;
}

// ---- Record ----

}  // namespace qel
