// The shape-changing brush operators of qel::Mesh: pinch and grow, twist,
// the deform over the mesh and over the component, the volume-keeping deform and the three smoothers.
//
// Each one selects what the stamp reaches and accumulates one displacement
// per selected vertex from the positions the step started with; pinch,
// twist, deform and deformVolume leave the displacements to their caller, the
// others add them, refresh the normals round the moved vertices and end the
// selection.

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/mat.h"
#include "mesh/mesh.h"
#include "mesh/vertex_fans.h"

namespace qel {

namespace {

void sizeDisplacements(Mesh& m) { m.displacements.resize(m.selectedVertices.size(), vec3(0, 0, 0)); }

// The displacement entry of v, or null when v is not on the selection.
vec3* entry(Mesh& m, int v) {
    if (!m.validVertex(v)) return nullptr;
    const int s = m.vertices[v].selection;
    if (s < 0 || std::size_t(s) >= m.displacements.size()) return nullptr;
    return &m.displacements[std::size_t(s)];
}

// Adds the displacements, refreshes the normals of everything they touch
// (with the one-ring margin when asked) and ends the selection.
void applyAndFinish(Mesh& m, bool margin) {
    m.applyDisplacement();
    if (margin) {
        m.refreshMarginAndDeselect();
        return;
    }
    m.calculateSelectedNormals();
    m.deselectAll();
}

// Half a step towards the smoothed position of v, weighted by w(t).
vec3 smoothStep(const Mesh& m, int v, float t, float s) {
    const vec3 p = m.vertices[v].position;
    return (m.vertexSmoothPosition(v) - p) * float(double(s) * Mesh::falloff(t));
}

// The fans gather the influence list's vertices in order.
bool gatherInfluences(const Mesh& m, const VertexFans& fans) {
    if (fans.size() != m.influences.size()) return false;
    for (std::size_t i = 0; i < fans.size(); ++i)
        if (fans.vertex(i) != m.influences[i].vertex) return false;
    return true;
}

// Half a step of smoothing over the selection, then applyAndFinish with the
// margin: the fans of the selected vertices are gathered once for the
// smoothing, the margin and the corner normals.
void smoothAndFinish(Mesh& m) {
    VertexFans fans;
    m.gatherFans(fans, m.selectedVertices.data(), m.selectedVertices.size());
    m._smooth(0.5f, fans);
    m.applyDisplacement();
    m.refreshMarginAndDeselect(fans);
}

}  // namespace

void Mesh::pinch(const vec3& centre, float radius, float strength) {
    selectV(centre, radius, true);
    sizeDisplacements(*this);
    for (const MeshInfluence& r : influences)
        if (vec3* d = entry(*this, r.vertex)) *d -= r.offset * float(double(strength) * falloff(r.t));
}

void Mesh::twist(const vec3& centre, const vec3& axis, float angle, float radius) {
    selectV(centre, radius, true);
    sizeDisplacements(*this);
    const double s = std::sin(double(angle)), c = std::cos(double(angle));
    for (const MeshInfluence& r : influences) {
        vec3* d = entry(*this, r.vertex);
        if (!d) continue;
        const vec3 p = r.offset - axis * float(dot(r.offset, axis));
        const float w = float(falloff(r.t));
        *d += (cross(axis, p) * float(s) + p * float(c - 1.0)) * w;
    }
}

void Mesh::deform(const vec3& a, const vec3& b, float radius) {
    selectV(a, radius, true);
    _deform(b - a);
}

void Mesh::deformG(const vec3& a, const vec3& b, float radius, int face) {
    // A face that cannot be picked leaves the selection as it was: start
    // from none so that nothing stale moves.
    deselectAll();
    selectInScope(a, radius, face, false);
    _deform(b - a);
    applyAndFinish(*this, true);
}

void Mesh::deformVolume(const vec3& a, const vec3& b, float radius) {
    selectV(a, radius, true);
    sizeDisplacements(*this);
    const vec3 D = b - a;
    const mat3 frame = mat3::Frame(D);
    const vec3 e0 = frame.column(0), e1 = frame.column(1), e2 = frame.column(2);
    const float L = float(length(D));
    for (const MeshInfluence& r : influences)
        if (vec3* d = entry(*this, r.vertex)) *d += fieldVolume(r.offset, r.t, e0, e1, e2, radius) * L;
}

vec3 Mesh::fieldVolume(const vec3& d, float t, const vec3& e0, const vec3& e1, const vec3& e2, float R) {
    const double tt = t;
    const double alpha = 1.0 - (4.0 - 3.0 * tt) * tt * tt * tt;
    // A ball of no size has no transverse flow.
    const double R2 = double(R) * R;
    const double beta = R2 > 0.0 ? 12.0 * (tt - tt * tt) / R2 : 0.0;
    const vec3 transverse = cross(e1, d) * float(dot(e0, d)) + cross(d, e0) * float(dot(e1, d));
    return (e2 * float(alpha) + transverse * float(beta)) * float(alpha);
}

void Mesh::smooth(const vec3& centre, const vec3& /*other*/, float radius) {
    selectV(centre, radius, true);
    smoothAndFinish(*this);
}

void Mesh::smoothG(const vec3& centre, const vec3& /*other*/, float radius, int face) {
    deselectAll();
    selectInScope(centre, radius, face, false);
    smoothAndFinish(*this);
}

void Mesh::smoothG_(const vec3& centre, const vec3& /*other*/, float radius, int face) {
    deselectAll();
    selectInScope(centre, radius, face, true);
    _smoothG(0.5f);
    // Faces outside the patch keep their normals until the stroke's end
    // recomputes them all.
    applyAndFinish(*this, false);
}

void Mesh::_smooth(float s) {
    std::vector<std::int32_t> list(influences.size());
    for (std::size_t i = 0; i < list.size(); ++i) list[i] = influences[i].vertex;
    VertexFans fans;
    gatherFans(fans, list.data(), list.size());
    _smooth(s, fans);
}

void Mesh::_smooth(float s, const VertexFans& fans) {
    if (!gatherInfluences(*this, fans)) {
        _smooth(s);
        return;
    }
    sizeDisplacements(*this);
    for (std::size_t i = 0; i < influences.size(); ++i) {
        const MeshInfluence& r = influences[i];
        vec3* d = entry(*this, r.vertex);
        if (!d) continue;
        const vec3 p = vertices[r.vertex].position;
        *d += (vertexSmoothPosition(fans, i) - p) * float(double(s) * falloff(r.t));
    }
}

void Mesh::_smoothG(float s) {
    sizeDisplacements(*this);
    for (const MeshSectorInfluence& r : sectorInfluences)
        if (vec3* d = entry(*this, r.vertex)) *d += smoothStep(*this, r.vertex, r.t, s);
}

}  // namespace qel
