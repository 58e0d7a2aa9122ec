#include "mesh/mesh_sphere_press.h"

#include <algorithm>
#include <cmath>

#include "core/geometry.h"
#include "mesh/mesh.h"

namespace qel {

namespace {

// The move from p to q is no larger than rounding could make it: no
// coordinate moved by more than a few float steps at their place or at the
// centre's, from which a pressed position is formed (a vertex near the
// origin is pressed from a centre that may lie far off it).
bool withinRounding(const vec3& p, const vec3& q, const vec3& centre) {
    const float limit = SpherePress::kRoundingSteps *
                        std::max({SpherePress::spacing(p), SpherePress::spacing(q), SpherePress::spacing(centre)});
    return std::fabs(q.x - p.x) <= limit && std::fabs(q.y - p.y) <= limit && std::fabs(q.z - p.z) <= limit;
}

}  // namespace

float SpherePress::spacing(float a) {
    a = std::fabs(a);
    return std::nextafter(a, HUGE_VALF) - a;
}

float SpherePress::spacing(const vec3& p) {
    return spacing(std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)}));
}

SpherePress::SpherePress(Mesh& m, const vec3& centre, float radius, bool add, const FaceViews& views)
    : m_(m), centref_(centre), centre_(centre), radius_(radius), add_(add), views_(views) {}

dvec3 SpherePress::position(int v) const { return dvec3(m_.vertices[v].position); }

dvec3 SpherePress::before(int v) const {
    const MeshVertex& r = m_.vertices[v];
    return dvec3(pressed(v) ? from_[std::size_t(r.selection)] : r.position);
}

bool SpherePress::pressed(int v) const {
    const MeshVertex& r = m_.vertices[v];
    return r.selection >= 0 && !(r.position == from_[std::size_t(r.selection)]);
}

bool SpherePress::rounded(int v) const {
    return pressed(v) &&
           withinRounding(from_[std::size_t(m_.vertices[v].selection)], m_.vertices[v].position, centref_);
}

void SpherePress::run(const pbr& material, std::vector<int>& touched) {
    from_.resize(m_.selectedVertices.size());
    for (std::size_t i = 0; i < m_.selectedVertices.size(); ++i) {
        const int v = m_.selectedVertices[i];
        from_[i] = m_.vertices[v].position;
        pressVertex(v, material);
        touched.push_back(v);
    }
    unfold();
}

void SpherePress::pressVertex(int v, const pbr& material) {
    MeshVertex& r = m_.vertices[v];
    vec3 d = r.position - centref_;
    const double l2 = length2(d);
    if (l2 > 1e-20) d = d / float(std::sqrt(l2));
    r.position = centref_ + radius_ * d;
    std::vector<int>& faces = fan_;
    m_.findNeighbours(v, ring_, faces);
    for (const int f : faces) {
        if (f < 0) continue;
        m_.faces[f].setMaterial(material, material, material, 0xFF);
    }
    // The inside of the dent or bump is smooth; a border keeps its edges.
    if (r.isSharp() && !r.isBorder())
        for (const int w : ring_) m_.edgeSharpVV(v, w, false);
}

bool SpherePress::turnsOver(int f, const dvec3* was) const {
    const MeshFace& F = m_.faces[f];
    const dvec3 p[3] = {position(F.v[0]), position(F.v[1]), position(F.v[2])};
    const double then = Orient3D(was[0], was[1], was[2], centre_), now = Orient3D(p[0], p[1], p[2], centre_);
    if ((then > 0 && now < 0) || (then < 0 && now > 0)) return true;
    if (then == 0 && (add_ ? now < 0 : now > 0)) return true;
    const dvec3 n = views_.of(f, was).normal();
    return dot(cross(p[1] - p[0], p[2] - p[0]), n) < 0 && !(dot(cross(was[1] - was[0], was[2] - was[0]), n) < 0);
}

void SpherePress::unfold() {
    // Pressed exactly along the rays from the centre, a face keeps the turn
    // it shows the centre (each corner moves out by a positive factor).
    // Rounding spoils that only through a vertex that the press moves by a
    // few float steps, one that lay that close to the sphere (as every
    // vertex of a sphere of no size does): it can land across its
    // neighbours, turn a face edge-on to the centre over or, where the
    // sphere reaches round an edge of the mesh, turn a sliver against the
    // face it lies in. Such a vertex, a corner of a face turned over, stays
    // where the cut left it, on the sphere up to that rounding: putting it
    // back leaves its other faces as the cut left them or turns them over
    // too, and these are looked at again, until none is turned over. A
    // vertex pressed farther is never put back, so that the whole inside of
    // the sphere is pressed onto it: a face its press turns over is turned
    // by the shape the sphere meets (a part the centre sees from behind or
    // edge-on), which putting the vertex back would leave deep inside.
    std::vector<int> work;
    for (const int v : m_.selectedVertices) {
        if (!rounded(v)) continue;
        m_.findFNeighbours(v, fan_);
        work.insert(work.end(), fan_.begin(), fan_.end());
    }
    while (!work.empty()) {
        const int f = work.back();
        work.pop_back();
        if (!m_.activeFace(f)) continue;
        const MeshFace& F = m_.faces[f];
        const dvec3 was[3] = {before(F.v[0]), before(F.v[1]), before(F.v[2])};
        if (!turnsOver(f, was)) continue;
        for (const int v : F.v) {
            if (!rounded(v)) continue;
            m_.vertices[v].position = from_[std::size_t(m_.vertices[v].selection)];
            m_.findFNeighbours(v, fan_);
            work.insert(work.end(), fan_.begin(), fan_.end());
        }
    }
}

}  // namespace qel
