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

bool SpherePress::onSphere(const vec3& p, const vec3& centre, double r, float sphereSpacing) {
    const double dx = double(p.x) - centre.x, dy = double(p.y) - centre.y, dz = double(p.z) - centre.z;
    const float limit = kRoundingSteps * std::max(spacing(p), sphereSpacing);
    return std::fabs(std::sqrt(dx * dx + dy * dy + dz * dz) - r) <= limit;
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
    unfoldInPlane();
}

void SpherePress::pressVertex(int v, const pbr& material) {
    MeshVertex& r = m_.vertices[v];
    vec3 d = r.position - centref_;
    const double l2 = length2(d);
    if (l2 > 1e-20) d = d / float(std::sqrt(l2));
    vec3 p = centref_ + radius_ * d;
    std::vector<int>& faces = fan_;
    m_.findNeighbours(v, ring_, faces);
    // Pressed within rounding of a neighbour on the sphere (along an edge
    // onto the point where the cut split it), the vertex lands there: a
    // float step off it, the face between them would be a sliver turned
    // either way by rounding alone.
    for (const int w : ring_) {
        if (!withinRounding(p, m_.vertices[w].position, centref_)) continue;
        p = m_.vertices[w].position;
        break;
    }
    r.position = p;
    for (const int f : faces) {
        if (f < 0) continue;
        MeshFace& F = m_.faces[f];
        F.setMaterial(material, material, material, 0xFF);
        // The faces on the rim of the pressed part, each listed once: by
        // the first of its corners, in corner order, that is to be pressed.
        const bool s0 = m_.vertices[F.v[0]].isSelected(), s1 = m_.vertices[F.v[1]].isSelected(),
                   s2 = m_.vertices[F.v[2]].isSelected();
        if (!(s0 && s1 && s2) && F.v[s0 ? 0 : s1 ? 1 : 2] == v) rimFaces_.push_back(f);
    }
    // The inside of the dent or bump is smooth; a border keeps its edges.
    if (r.isSharp() && !r.isBorder())
        for (const int w : ring_) m_.edgeSharpVV(v, w, false);
}

bool SpherePress::turnsOver(int f, const dvec3* was) const {
    const MeshFace& F = m_.faces[f];
    const dvec3 p[3] = {position(F.v[0]), position(F.v[1]), position(F.v[2])};
    if (!add_ && Orient3D(was[0], was[1], was[2], centre_) < 0 && Orient3D(p[0], p[1], p[2], centre_) > 0) return true;
    const dvec3 n = views_.of(f, was).normal();
    return dot(cross(p[1] - p[0], p[2] - p[0]), n) < 0 && !(dot(cross(was[1] - was[0], was[2] - was[0]), n) < 0);
}

void SpherePress::unfold() {
    // Pressed exactly along the rays from the centre, a face keeps the turn
    // it shows the centre (each corner moves out by a positive factor).
    // Rounding spoils that only through a vertex that the press moves by a
    // few float steps, one that lay that close to the sphere (as every
    // vertex of a sphere of no size does): it can land across its
    // neighbours or, where the sphere reaches round an edge of the mesh,
    // turn a sliver against the face it lies in. Only a dent's face is held
    // to the turn the centre sees (put back for it, a bump's corners over
    // the edges of a mesh leave faces folded within the plane of the face
    // they lie in); a bump's faces, as a face edge-on to the centre, are
    // judged by the face they lie in alone. Such a vertex, a corner of a
    // face turned over, stays where the cut left it, on the sphere up to
    // that rounding: putting it back leaves its other faces as the cut left
    // them or turns them over too, and these are looked at again, until
    // none is turned over. A vertex pressed farther is never put back, so
    // that the whole inside of the sphere is pressed onto it: a face its
    // press turns over is turned by the shape the sphere meets (a part the
    // centre sees from behind or edge-on), which putting the vertex back
    // would leave deep inside.
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

bool SpherePress::inPlane(const dvec3* p, const dvec3& q) const {
    const dvec3 n = cross(p[1] - p[0], p[2] - p[0]);
    const double n2 = dot(n, n);
    if (!(n2 > 0)) return false;
    // The plane moves at q's foot by each corner's offset times that
    // corner's weight there.
    const double off = dot(q - p[0], n);
    const dvec3 foot = q - n * (off / n2);
    double slack = spacing(vec3(q));
    for (int k = 0; k < 3; ++k) {
        const double weight = dot(cross(p[nextK(k)] - foot, p[prevK(k)] - foot), n) / n2;
        slack += std::fabs(weight) * spacing(vec3(p[k]));
    }
    return std::fabs(off) <= kRoundingSteps * slack * std::sqrt(n2);
}

bool SpherePress::foldedInPlane(int f, dvec3* plane, PlaneView& view) {
    const MeshFace& F = m_.faces[f];
    if (!F.isActive()) return false;
    dvec3 p[3], was[3];
    for (int k = 0; k < 3; ++k) {
        const MeshVertex& r = m_.vertices[F.v[k]];
        p[k] = dvec3(r.position);
        was[k] = r.selection >= 0 ? dvec3(from_[std::size_t(r.selection)]) : p[k];
        plane[k] = was[k];
    }
    const dvec3 n = cross(p[1] - p[0], p[2] - p[0]);
    // Turned over in space first: most faces the press tilts keep within a
    // right angle of their turn.
    if (dot(n, cross(was[1] - was[0], was[2] - was[0])) < 0 && inPlane(was, centre_)) {
        view = views_.of(f, was);
        return view.turn(p[0], p[1], p[2]) < 0;
    }
    // A face of no area (a corner on the opposite edge) has no turn of its
    // own: opened by the press within a plane through the centre, it turns
    // as a face round a pressed corner that lies in that plane.
    if (!inPlane(p, centre_)) return false;
    view = views_.of(f, was);
    if (!(view.turn(was[0], was[1], was[2]) == 0)) return false;
    for (const int a : F.v) {
        if (!pressed(a)) continue;
        m_.findFNeighbours(a, near_);
        for (const int g : near_) {
            if (g < 0 || g == f) continue;
            const MeshFace& G = m_.faces[g];
            for (int i = 0; i < 3; ++i) plane[i] = before(G.v[i]);
            if (!inPlane(plane, centre_) || !inPlane(plane, p[0]) || !inPlane(plane, p[1]) || !inPlane(plane, p[2]))
                continue;
            view = views_.of(g, plane);
            if (view.turn(plane[0], plane[1], plane[2]) > 0) return view.turn(p[0], p[1], p[2]) < 0;
        }
    }
    return false;
}

bool SpherePress::flipUnfolds(int f, const dvec3* was, const PlaneView& view) {
    // The first walk laid out is made: a flip of it that fails (onto an
    // edge that is there already) leaves the faces as the flips before it
    // left them.
    for (int k = 0; k < 3; ++k)
        if (walkFrom(f, k, was, view)) return flipWalk(f, k);
    return false;
}

bool SpherePress::walkFrom(int f, int k, const dvec3* was, const PlaneView& view) {
    const MeshFace& F = m_.faces[f];
    const int a = F.v[k];
    int x = F.v[nextK(k)], y = F.v[prevK(k)];
    const dvec3 A = position(a);
    walk_.clear();
    for (int g = m_.link(F, k);;) {
        // Each face is crossed once, so that the walk ends.
        if (g < 0 || g == f) return false;
        for (const auto& step : walk_)
            if (step.first == g) return false;
        const MeshFace& G = m_.faces[g];
        const int kx = G.corner(x), ky = G.corner(y);
        if (kx < 0 || ky < 0) return false;
        const int kc = 3 - kx - ky, c = G.v[kc];
        // The turns are seen in the folded face's plane: only a face across
        // lying in it is seen as it turns.
        if (!inPlane(was, before(c))) return false;
        // A cut edge is flipped only to take a pressed corner onto the cut
        // line; every other sharp edge stays.
        if (G.isSharp(kc) && (!pressed(a) || m_.vertices[x].isSelected() || m_.vertices[y].isSelected())) return false;
        const dvec3 X = position(x), Y = position(y), C = position(c);
        const bool first = view.turn(A, X, C) > 0, second = view.turn(A, C, Y) > 0;
        walk_.emplace_back(g, first);
        if (first && second) return true;
        // a goes on across the far edge of a face that turns against the
        // plane.
        if (first) {
            x = c;
            g = m_.link(G, kx);
        } else {
            y = c;
            g = m_.link(G, ky);
        }
    }
}

bool SpherePress::flipWalk(int f, int k) {
    const int a = m_.faces[f].v[k];
    for (const auto& step : walk_) {
        const int g = step.first;
        const MeshFace& F = m_.faces[f];
        const int x = F.v[nextK(k)], y = F.v[prevK(k)];
        const bool sharp = F.isSharp(k);
        // The pressed corner keeps its material, the others take the face
        // across's (they all lie on it).
        const pbr pressedMaterial = F.material[k];
        const MeshFace across = m_.faces[g];
        if (sharp) m_.edgeSharpFK(f, k, false);
        if (!m_.edgeFlipFK(f, k)) {
            if (sharp) m_.edgeSharpFK(f, k, true);
            return false;
        }
        // The cut line runs through the pressed corner now.
        if (sharp) {
            m_.edgeSharpVV(a, x, true);
            m_.edgeSharpVV(a, y, true);
        }
        for (const int h : {f, g}) {
            MeshFace& H = m_.faces[h];
            for (int i = 0; i < 3; ++i)
                H.material[i] = H.v[i] == a ? pressedMaterial : across.material[across.corner(H.v[i])];
        }
        // f is now (x, c, a) and g (y, a, c): a goes on from the face that
        // turns against the plane.
        if (step.second) {
            f = g;
            k = 1;
        } else {
            k = 2;
        }
    }
    return true;
}

bool SpherePress::foldsRound(int v) {
    m_.findFNeighbours(v, fan_);
    dvec3 was[3];
    PlaneView view;
    for (const int g : fan_) {
        if (g < 0) continue;
        if (foldedInPlane(g, was, view)) return true;
        const MeshFace& G = m_.faces[g];
        for (int k = 0; k < 3; ++k) was[k] = before(G.v[k]);
        if (turnsOver(g, was)) return true;
    }
    return false;
}

bool SpherePress::landOnNeighbour(int f) {
    // Only positions change here: the face's corners and a's ring stay.
    for (const int a : m_.faces[f].v) {
        if (!pressed(a)) continue;
        m_.findNeighbours(a, ring_);
        const vec3 at = m_.vertices[a].position;
        for (const int w : ring_) {
            // On the sphere up to rounding, as the cut's points are: a split
            // moved onto its edge's inside end is pressed with the outside
            // end for a neighbour.
            const vec3 q = m_.vertices[w].position;
            if (!onSphere(q, centref_, radius_, spacing(centref_))) continue;
            m_.vertices[a].position = q;
            if (!foldsRound(a)) return true;
            m_.vertices[a].position = at;
        }
    }
    return false;
}

void SpherePress::unfoldInPlane() {
    // Where the centre lies in the plane of a face before the press, the
    // face is edge-on to it and its corners move within that plane onto
    // the circle the sphere meets it in: their order round the circle, not
    // the face's, decides its turn there, and a face whose corners land out
    // of order is folded within the plane. A pressed corner lands out of
    // order with the cut's points on the rim of the pressed part, where
    // the faces are looked at. Flips within the plane leave the surface as
    // it is and change only which of its points the faces join: flipped one
    // edge after another, each across from the corner in the face that
    // still turns against the plane, the faces carry the corner over to
    // where it lies between its neighbours round the circle (onto the cut
    // line, across the cut edge between the two cut points it landed
    // between), and a walk that ends so leaves one face fewer folded. Each
    // folded face is walked from once at most, so the walks end.
    std::vector<int> work;
    dvec3 was[3];
    PlaneView view;
    for (const int f : rimFaces_)
        if (foldedInPlane(f, was, view)) work.push_back(f);
    for (bool flipped = !work.empty(); flipped;) {
        flipped = false;
        for (int& f : work) {
            if (f < 0) continue;
            if (!foldedInPlane(f, was, view)) {
                f = -1;
            } else if (flipUnfolds(f, was, view)) {
                f = -1;
                flipped = true;
            }
        }
    }
    // Where no walk mends a face (one leaving the plane, say), a pressed
    // corner landed on a neighbour on the sphere where no face round it is
    // then turned over or folded stays on the sphere.
    for (int& f : work) {
        if (f < 0 || !foldedInPlane(f, was, view)) continue;
        if (landOnNeighbour(f)) f = -1;
    }
}

}  // namespace qel
