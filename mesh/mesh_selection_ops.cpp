// The operators of qel::Mesh on the current selection: each reads the
// influence list (or the sector records of a patch selection) and writes
// one displacement per vertex, at the vertex's selection index. None selects,
// deselects or moves a vertex; the caller adds the displacements.
//
// Every operator first sizes the displacement list to the selected vertices
// (new entries zero, existing ones kept), so two additive operators on one
// selection sum; _scale and _transform assign. transform, alone, moves
// every vertex itself.

#include <algorithm>

#include "mesh/mesh.h"

namespace qel {

namespace {

// The displacement entry of v, or null when v is not on the selection.
vec3* entry(Mesh& m, int v) {
    if (!m.validVertex(v)) return nullptr;
    const int s = m.vertices[v].selection;
    if (s < 0 || std::size_t(s) >= m.displacements.size()) return nullptr;
    return &m.displacements[std::size_t(s)];
}

void sizeDisplacements(Mesh& m) { m.displacements.resize(m.selectedVertices.size(), vec3(0, 0, 0)); }

// out = (x', y', z') / w' for p under m (stored row by row), each sum in
// double; false, out untouched, when w' is 0.
bool projectPoint(const mat4& m, const vec3& p, vec3& out) {
    const float* a = m.m;
    const double x = double(a[0]) * p.x + double(a[1]) * p.y + double(a[2]) * p.z + a[3];
    const double y = double(a[4]) * p.x + double(a[5]) * p.y + double(a[6]) * p.z + a[7];
    const double z = double(a[8]) * p.x + double(a[9]) * p.y + double(a[10]) * p.z + a[11];
    const float w = float(double(a[12]) * p.x + double(a[13]) * p.y + double(a[14]) * p.z + a[15]);
    if (w == 0.0f) return false;
    out = vec3(float(x), float(y), float(z)) / w;
    return true;
}

}  // namespace

void Mesh::_deform(const vec3& v) {
    sizeDisplacements(*this);
    for (const MeshInfluence& r : influences)
        if (vec3* d = entry(*this, r.vertex)) *d += v * float(falloff(r.t));
}

void Mesh::_deformG(const vec3& v) {
    sizeDisplacements(*this);
    // A vertex reached through several sectors (a crease ending inside the
    // patch) moves once, by the weight of its nearest record: summing them
    // would move it twice as far and grow a spike with every step.
    const std::size_t n = std::min(sectorHeads.size(), displacements.size());
    for (std::size_t i = 0; i < n; ++i) {
        int k = sectorHeads[i];
        if (k < 0) continue;
        float t = sectorInfluences[std::size_t(k)].t;
        for (k = sectorInfluences[std::size_t(k)].next; k >= 0; k = sectorInfluences[std::size_t(k)].next)
            t = std::min(t, sectorInfluences[std::size_t(k)].t);
        displacements[i] += v * float(falloff(t));
    }
}

void Mesh::_move(const vec3& v) {
    sizeDisplacements(*this);
    for (const MeshInfluence& r : influences)
        if (vec3* d = entry(*this, r.vertex)) *d += v;
}

void Mesh::_moveN(float s) {
    sizeDisplacements(*this);
    for (const MeshInfluence& r : influences)
        if (vec3* d = entry(*this, r.vertex)) *d += r.offset * s;
}

void Mesh::_scale(const vec3& centre, float s) {
    sizeDisplacements(*this);
    for (const MeshInfluence& r : influences)
        if (vec3* d = entry(*this, r.vertex)) *d = (vertices[r.vertex].position - centre) * (s - 1.0f);
}

void Mesh::_scale(const vec3& centre, const vec3& direction, float s) {
    // Along a zero direction nothing is scaled.
    mat4 m;
    if (!nearZero(direction)) {
        const mat4 p = mat4::Rotation(direction, vec3(0, 0, 1)) * mat4::Translation(-centre);
        m = p.inverse() * mat4::Scale(1.0f, 1.0f, s) * p;
    }
    for (int i = 0; i < 3; ++i) m.at(i, i) -= 1.0f;
    _transform(m);
}

void Mesh::_transform(const mat4& m) {
    sizeDisplacements(*this);
    for (const MeshInfluence& r : influences) {
        vec3* d = entry(*this, r.vertex);
        if (!d) continue;
        // A point sent to infinity gets no movement rather than inf or NaN.
        if (!projectPoint(m, vertices[r.vertex].position, *d)) *d = vec3(0, 0, 0);
    }
}

void Mesh::transform(const mat4& m) {
    // A point sent to infinity keeps its position rather than becoming inf
    // or NaN, as _transform gives it no movement.
    vertices.forRange(0, vertices.size(), [&](MeshVertex& r) { projectPoint(m, r.position, r.position); });
    positionsEdited();
    calculateNormals(2);
}

}  // namespace qel
