// The scoped transforms of qel::Mesh: one stroke step that moves, scales or
// turns the whole mesh, the component or the sharp-bounded patch of the
// picked face. Each selects its vertices, fills the displacement list through
// an operator on the current selection, adds the displacements and ends the
// selection.

#include <algorithm>
#include <cmath>

#include "mesh/mesh.h"

namespace qel {

namespace {

// Adds v to the selection with the given offset, unless it is selected.
void collect(Mesh& m, int v, const vec3& offset) {
    if (m.vertices[v].isSelected()) return;
    m.influences.push_back({v, 0.0f, offset});
    m.appendSelectedVertex(v);
}

// Collects every corner of every selected face; the offset is the corner
// normal where the vertex is first met, or zero.
void collectCorners(Mesh& m, bool normalOffsets) {
    for (const int f : m.selectedFaces) {
        const MeshFace& F = m.faces[f];
        for (int k = 0; k < 3; ++k)
            if (m.validVertex(F.v[k])) collect(m, F.v[k], normalOffsets ? F.normals[k] : vec3(0, 0, 0));
    }
}

// Middle of the bounding box of the selected vertices.
vec3 boxMiddle(const Mesh& m) {
    vec3 lo = m.vertices[m.selectedVertices[0]].position;
    vec3 hi = lo;
    for (const int v : m.selectedVertices) {
        const vec3& p = m.vertices[v].position;
        lo = vec3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
        hi = vec3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    }
    return (lo + hi) * 0.5f;
}

// The part of d across a direction: d - (d . n) n, n the direction
// normalised when it can be.
vec3 across(const vec3& d, const vec3& direction) {
    const vec3 n = normalize(direction);
    return d - n * float(dot(d, n));
}

// The centre a scale of a part works about: the mean c of the part's
// vertices moved towards the middle m of their bounding box, but only
// across the part's mean normal n, c + (m - c) - ((m - c) . n) n. A flat
// part keeps its centre in its own plane.
vec3 scaleCentre(const Mesh& m) {
    double sx = 0, sy = 0, sz = 0;
    for (const int v : m.selectedVertices) {
        const vec3& p = m.vertices[v].position;
        sx += p.x;
        sy += p.y;
        sz += p.z;
    }
    const double count = double(m.selectedVertices.size());
    const vec3 c(float(sx / count), float(sy / count), float(sz / count));
    vec3 n(0, 0, 0);
    for (const int f : m.selectedFaces) n += m.faces[f].normal;
    return c + across(boxMiddle(m) - c, n);
}

// The displacement of every selected vertex under `t`: the operator on the
// current selection takes the transform minus the identity.
void transformSelection(Mesh& m, mat4 t) {
    for (int i = 0; i < 3; ++i) t.at(i, i) -= 1.0f;
    m._transform(t);
}

// Selects the faces of the patch (patch set) or the component of the face.
void selectPart(Mesh& m, const vec3& from, int face, bool patch) {
    if (patch)
        m.selectF_(from, true, face);
    else
        m.selectF(from, true, face);
}

// Selects the vertices of the scope and gives the centre the transform works
// about: the element's centre for the whole mesh, else from the part's
// vertices (scaleCentre when forScale, the bounding-box middle otherwise).
// False, with the selection ended, when nothing is selected.
bool selectScope(Mesh& m, const vec3& from, int face, Sculptor::TSelect scope, bool forScale, vec3& pivot) {
    m.deselectAll();
    switch (scope) {
        case Sculptor::SelectElement:
        case Sculptor::SelectAllPatches:
            m.selectAllV();
            pivot = m.centre;
            break;
        case Sculptor::SelectPatch:
        case Sculptor::SelectComponent:
            selectPart(m, from, face, scope == Sculptor::SelectPatch);
            collectCorners(m, true);
            if (!m.selectedVertices.empty()) pivot = forScale ? scaleCentre(m) : boxMiddle(m);
            break;
    }
    if (m.selectedVertices.empty()) {
        m.deselectAll();
        return false;
    }
    return true;
}

// Moves the patch (patch set) or the component of the face by to - from and
// refreshes the normals of every face touching a moved vertex. Refreshing a
// selection costs several times as much per face as the pass over the whole
// mesh (which gives the same normals), so a part holding more than an eighth
// of the faces takes that pass.
void movePart(Mesh& m, const vec3& from, const vec3& to, int face, bool patch) {
    m.deselectAll();
    selectPart(m, from, face, patch);
    collectCorners(m, false);
    m._move(to - from);
    m.applyDisplacement();
    if (m.selectedFaces.size() > std::size_t(m.faceCount()) / 8) {
        m.calculateNormals(2);
    } else {
        m.selectMarginal();
        m.calculateSelectedNormals();
    }
    m.deselectAll();
}

}  // namespace

// ---------------------------------------------------------------------------
// Moves

void Mesh::deformF_(const vec3& from, const vec3& to, int face) { movePart(*this, from, to, face, true); }

void Mesh::deformF(const vec3& from, const vec3& to, int face) { movePart(*this, from, to, face, false); }

// ---------------------------------------------------------------------------
// Scale and turn

void Mesh::scale(const vec3& from, const vec3& to, int face, const Sculptor::TSelect& scope, bool uniform) {
    if (from == to) return;
    vec3 c;
    if (!selectScope(*this, from, face, scope, true, c)) return;
    bool apply = false;
    if (uniform) {
        // A step starting at the centre has no ratio: it is skipped rather
        // than sending the part to infinity.
        const double before = length2(from - c);
        if (before > NormalizeEpsilon) {
            _scale(c, float(std::sqrt(length2(to - c) / before)));
            apply = true;
        }
    } else {
        const vec3 s = to - from;
        const double a = dot(to - c, s);
        const double b = dot(from - c, s);
        // Steps that would more than double or halve the part are refused.
        if (2.0 * std::fabs(a) > std::fabs(b) && 2.0 * std::fabs(b) > std::fabs(a)) {
            _scale(c, s, float(a / b));
            apply = true;
        }
    }
    if (apply) applyDisplacement();
    deselectAll();
}

void Mesh::rotate(const vec3& from, const vec3& to, int face, const Sculptor::TSelect& scope, const vec3& axis) {
    if (from == to) return;
    vec3 c;
    if (!selectScope(*this, from, face, scope, false, c)) return;
    vec3 a = from - c;
    vec3 b = to - c;
    if (!isZero(axis)) {
        // Projected across the axis, the turn from a to b is about the axis.
        a = across(a, axis);
        b = across(b, axis);
    }
    transformSelection(*this, mat4::Translation(c) * mat4::Rotation(a, b) * mat4::Translation(-c));
    applyDisplacement();
    deselectAll();
}

}  // namespace qel
