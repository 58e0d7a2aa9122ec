// Plane operations of qel::Mesh: the cut along a plane (whole mesh, one
// component, one band of faces) and the clip of the positive side. The
// subtraction that closes the clipped holes with flat caps is in
// mesh/mesh_plane_cap.cpp; the steps of all three are PlaneCut's
// (mesh/plane_cut.h).
//
// The cut core splits each edge that runs from a strictly positive vertex
// to a strictly negative one; vertices made by the splits lie above
// vertexMark and never cross, so a face is re-examined after each split
// until none of its edges crosses, and the faces the splits append are
// walked too.
//
// A vertex within rounding of the plane counts as on it: a crossing point
// computed on an edge to such a vertex would round onto it (or within a
// float step of it) and leave a zero-area face, and a cap loop holding a
// point twice cannot be triangulated. Every crossing point then lies at
// least that far from both ends of its edge. A vertex a little farther
// from the plane can still leave pieces too small to carry a normal (two
// crossing points of a thin face rounding to one point, a cluster of
// crossing points round vertices a few float steps off a plane of symmetry
// of the mesh, which the cap would fill with specks): such a vertex counts
// as on the plane as well, when it is near it.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/geometry.h"
#include "mesh/mesh.h"
#include "mesh/plane_cut.h"
#include "mesh/plane_hole_loops.h"

namespace qel {

namespace {

double largestCoordinate(const dvec3& p) { return std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)}); }

// The tolerances of a cut, each a power of two times the larger of the
// plane point's coordinates and those of the points it is asked about (the
// scale of their float rounding).
//
// Which side of the plane a vertex lies on: 1 positive, -1 negative, 0 on
// the plane up to rounding. The band is a few float steps: wider than the
// rounding of a stored crossing point, far narrower than any edge worth
// keeping. A vertex is near the plane within a thousand bands (a
// thousandth of the coordinates): near enough to count as on it when a cut
// there would leave pieces too small to keep, yet no visible shape is
// flattened onto the plane. A cut segment is short below 2^-16 of the
// coordinates: a cap over a run of such segments would be made of
// triangles too small to carry a normal.
class PlaneBand {
public:
    PlaneBand(const Mesh& m, const dvec3& point, const dvec3& normal)
        : m_(m),
          point_(point),
          normal_(normal),
          pointScale_(largestCoordinate(point)),
          band_(std::ldexp(std::sqrt(dot(normal, normal)), -20)) {}

    int operator()(int v) const { return side(m_.vertices[v].position); }
    // The side of a point, as of a vertex there.
    int side(const vec3& p) const {
        const dvec3 q(p);
        const double d = dot(q - point_, normal_), band = band_ * std::max(pointScale_, largestCoordinate(q));
        return d > band ? 1 : (d < -band ? -1 : 0);
    }
    // The signed distance times the normal's length.
    double distance(int v) const { return dot(dvec3(m_.vertices[v].position) - point_, normal_); }
    bool near(int v) const { return std::fabs(distance(v)) <= std::ldexp(bandAt(v), 10); }
    bool shortSegment(const vec3& a, const vec3& b) const {
        const double scale = std::max({pointScale_, largestCoordinate(dvec3(a)), largestCoordinate(dvec3(b))});
        const double least = std::ldexp(scale, -16);
        return double(dot(a - b, a - b)) <= least * least;
    }

private:
    const Mesh& m_;
    const dvec3 point_, normal_;
    const double pointScale_, band_;

    double bandAt(int v) const {
        return band_ * std::max(pointScale_, largestCoordinate(dvec3(m_.vertices[v].position)));
    }
};

constexpr signed char kUnknownSide = 2;

// The side of every vertex below the mark that a cut looks at, computed
// once on demand; vertices made by the cut lie on the plane.
class CutSides {
public:
    CutSides(const Mesh& m, const dvec3& point, const dvec3& normal)
        : m_(m),
          band_(m, point, normal),
          point_(point),
          normal_(normal),
          side_(std::size_t(m.vertexMark), kUnknownSide) {}

    int operator()(int v) {
        if (v < 0 || std::size_t(v) >= side_.size()) return 0;
        signed char& s = side_[std::size_t(v)];
        if (s == kUnknownSide) s = static_cast<signed char>(band_(v));
        return s;
    }
    // The sides asked for so far (the others kUnknownSide); all: every side.
    const std::vector<signed char>& values() const { return side_; }
    const std::vector<signed char>& all() {
        constexpr std::uintptr_t Ahead = 32 * sizeof(MeshVertex);
        signed char* s = side_.data();
        m_.vertices.forRange(0, side_.size(), [&](const MeshVertex& r) {
            __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(&r) + Ahead));
            if (*s == kUnknownSide) *s = static_cast<signed char>(band_.side(r.position));
            ++s;
        });
        return side_;
    }

    // The crossing point of the edge a-b, whose ends lie on opposite
    // sides; computed from the positive end so that both faces of the
    // edge, and the check below, get the same point.
    vec3 crossing(int a, int b) {
        if ((*this)(a) < 0) std::swap(a, b);
        return vec3(CalculateIntersectionPlaneSegment(point_, normal_, dvec3(m_.vertices[a].position),
                                                      dvec3(m_.vertices[b].position)));
    }

    // Puts on the plane every near vertex whose crossing points would
    // leave, in a face of the scope (all faces when null) that has a
    // normal, a piece without one or a short cut segment: each time the
    // face's corner nearest the plane, until no face needs it. A null
    // scope needs every side known (all).
    void settle(const std::vector<int>* scope);
    // The faces of the scope that crossed the plane before settle, in
    // order (all that can cross after it).
    std::vector<int>& crossed() { return crossed_; }

private:
    const Mesh& m_;
    const PlaneBand band_;
    const dvec3 point_, normal_;
    std::vector<signed char> side_;
    std::vector<int> crossed_;

    bool crosses(const MeshFace& F) {
        bool positive = false, negative = false;
        for (const int v : F.v) {
            const int s = (*this)(v);
            positive = positive || s > 0;
            negative = negative || s < 0;
        }
        return positive && negative;
    }
    bool cutKeepsShape(const MeshFace& F);
    void crossedAll();
};

// The pieces the cut makes of the crossing face F all have normals and its
// cut segment is not short (or F itself has no normal to keep).
bool CutSides::cutKeepsShape(const MeshFace& F) {
    const vec3 p0 = at(m_, F.v[0]), p1 = at(m_, F.v[1]), p2 = at(m_, F.v[2]);
    if (noNormal(p0, p1, p2)) return true;
    int lone = -1, zero = -1;
    for (int c = 0; c < 3; ++c) {
        const int s = (*this)(F.v[c]);
        if (s == 0) zero = c;
        if (s != 0 && s != (*this)(F.v[nextK(c)]) && s != (*this)(F.v[prevK(c)])) lone = c;
    }
    if (zero >= 0) {
        // One crossing: two pieces through the corner on the plane.
        const int a = F.v[nextK(zero)], b = F.v[prevK(zero)];
        const vec3 u = at(m_, F.v[zero]), x = crossing(a, b);
        return !noNormal(u, at(m_, a), x) && !noNormal(u, x, at(m_, b)) && !band_.shortSegment(u, x);
    }
    // The lone corner's triangle and the quad beyond, cut along either
    // diagonal (the order of the splits picks one).
    const int v = F.v[lone], b = F.v[nextK(lone)], c = F.v[prevK(lone)];
    const vec3 x1 = crossing(v, b), x2 = crossing(v, c), pb = at(m_, b), pc = at(m_, c);
    return !noNormal(at(m_, v), x1, x2) && !noNormal(x1, pb, pc) && !noNormal(x1, pc, x2) && !noNormal(x1, pb, x2) &&
           !noNormal(pb, pc, x2) && !band_.shortSegment(x1, x2);
}

// Lists every active face with corners on both sides, every side known:
// one pass over the face records reading their corners (and their flags
// only where the corners cross), the records streamed in ahead.
void CutSides::crossedAll() {
    constexpr std::uintptr_t Ahead = 24 * sizeof(MeshFace);
    const signed char* side = side_.data();
    const std::size_t n = side_.size();
    int f = 0;
    m_.faces.forRange(0, m_.faces.size(), [&](const MeshFace& F) {
        __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(&F) + Ahead));
        int sides = 0;
        for (const int v : F.v) {
            const int s = std::size_t(v) < n ? side[std::size_t(v)] : 0;
            sides |= s > 0 ? 1 : (s < 0 ? 2 : 0);
        }
        if (sides == 3 && F.isActive()) crossed_.push_back(f);
        ++f;
    });
}

void CutSides::settle(const std::vector<int>* scope) {
    std::vector<int>& crossed = crossed_;
    crossed.clear();
    auto consider = [&](int f) {
        if (m_.activeFace(f) && crosses(m_.faces[std::size_t(f)])) crossed.push_back(f);
    };
    if (scope)
        for (const int f : *scope) consider(f);
    else
        crossedAll();
    for (bool changed = true; changed;) {
        changed = false;
        for (const int f : crossed) {
            const MeshFace& F = m_.faces[std::size_t(f)];
            if (!crosses(F) || cutKeepsShape(F)) continue;
            int nearest = -1;
            double least = 0;
            for (const int v : F.v) {
                if ((*this)(v) == 0) continue;
                const double d = std::fabs(band_.distance(v));
                if (nearest < 0 || d < least) {
                    nearest = v;
                    least = d;
                }
            }
            if (!band_.near(nearest)) continue;
            side_[std::size_t(nearest)] = 0;
            changed = true;
        }
    }
}

// Two points a few float steps apart at most, in every coordinate, at the
// scale of the cut (the largest coordinate of its points): cut points that
// differ by rounding alone (the cap's projection of its loop, taken from
// one of them, cannot tell them apart).
bool withinRounding(const vec3& a, const vec3& b, double scale) {
    return largestCoordinate(dvec3(a) - dvec3(b)) <= std::ldexp(scale, -20);
}

void selectFace(Mesh& m, int f) {
    m.faces[f].flags = std::uint8_t(m.faces[f].flags | MeshFace::SelectedBit);
    m.selectedFaces.push_back(f);
}

constexpr std::uint8_t kFaceMarks = MeshFace::SelectedBit | MeshFace::VisitedBit;

// The normals after a cut: every face it made or changed, and every crease
// it marked, holds a vertex it made, and the normals round those are
// refreshed; a cut that made nothing refreshes them all, as it always did.
void cutNormals(Mesh& m, const std::vector<int>& made) {
    if (made.empty())
        m.calculateNormals(2);
    else
        m.calculateNormalsRound(made);
}

}  // namespace

void PlaneCut::planeMarkSide(Mesh& mesh, const std::vector<signed char>& sides, const std::vector<int>* scope,
                             std::vector<int>* onPlane) {
    const int mark = mesh.vertexMark;
    auto test = [&](int v) {
        if (v < 0 || v >= mark || mesh.vertices[v].isSelected()) return;
        const int s = sides[std::size_t(v)];
        if (s == 1)
            mesh.appendSelectedVertex(v);
        else if (s == 0 && onPlane && mesh.vertices[v].isActive() && !mesh.vertices[v].isBorder())
            onPlane->push_back(v);
    };
    if (!scope) {
        for (int v = 0; v < mark; ++v) test(v);
        return;
    }
    for (const int f : *scope)
        for (const int v : mesh.faces[f].v) test(v);
}

void PlaneCut::planeCutFaces(Mesh& mesh, const dvec3& point, const dvec3& normal, const std::vector<signed char>& sides,
                             std::vector<int>& walk, bool scoped, std::vector<int>& cut) {
    const int mark = mesh.vertexMark;
    // An edge crosses when its ends lie on opposite sides: an end on the
    // plane is never split off.
    auto sideOf = [&](int v) {
        const int s = v < mark ? int(sides[std::size_t(v)]) : 0;
        return s == kUnknownSide ? 0 : s;
    };
    auto crossing = [&](int a, int b) { return sideOf(a) * sideOf(b) < 0; };
    for (std::size_t i = 0; i < walk.size(); ++i) {
        const int f = walk[i];
        const MeshFace& G = mesh.faces[f];
        if (!G.isActive()) continue;
        // Only a face with both positive and other corners can cross: the
        // whole-mesh cut reads the sides, a scoped one the marked corners.
        const int positive = scoped ? int(mesh.vertices[G.v[0]].isSelected()) +
                                          int(mesh.vertices[G.v[1]].isSelected()) +
                                          int(mesh.vertices[G.v[2]].isSelected())
                                    : int(sideOf(G.v[0]) > 0) + int(sideOf(G.v[1]) > 0) + int(sideOf(G.v[2]) > 0);
        if (positive == 0 || positive == 3) continue;
        for (int k = 0; k < 3;) {
            const MeshFace& F = mesh.faces[f];
            int a = F.v[nextK(k)], b = F.v[prevK(k)];
            if (!crossing(a, b)) {
                ++k;
                continue;
            }
            const int g = mesh.link(F, k);
            const bool hard = F.isSharp(k) || g < 0;
            const bool gInScope = g >= 0 && (mesh.faces[g].flags & kFaceMarks) != 0;
            // From the positive end, as the sides were settled.
            if (sideOf(a) < 0) std::swap(a, b);
            const dvec3 x = CalculateIntersectionPlaneSegment(point, normal, dvec3(mesh.vertices[a].position),
                                                              dvec3(mesh.vertices[b].position));
            const int first = mesh.faceCount();
            const int nv = mesh.edgeSplitFK(f, k, vec3(x));
            if (nv < 0) {
                ++k;
                continue;
            }
            MeshVertex& r = mesh.vertices[nv];
            r.flags = hard ? std::uint8_t(r.flags | MeshVertex::SharpBit | MeshVertex::CornerBit)
                           : std::uint8_t(r.flags & ~MeshVertex::CornerBit);
            cut.push_back(nv);
            if (scoped) {
                if (first < mesh.faceCount()) selectFace(mesh, first);
                if (gInScope && first + 1 < mesh.faceCount()) selectFace(mesh, first + 1);
            } else {
                for (int h = first; h < mesh.faceCount(); ++h) walk.push_back(h);
            }
            k = 0;
        }
    }
    planeWeld(mesh, cut);
}

void PlaneCut::planeWeld(Mesh& mesh, const std::vector<int>& cut) {
    const int mark = mesh.vertexMark;
    double scale = 0;
    for (const int c : cut) scale = std::max(scale, largestCoordinate(dvec3(mesh.vertices[c].position)));
    std::vector<int> ring;
    for (const int c : cut) {
        if (!mesh.activeVertex(c)) continue;
        mesh.findNeighbours(c, ring);
        for (const int n : ring) {
            if (n < mark || n == c || !mesh.activeVertex(n) ||
                !withinRounding(mesh.vertices[n].position, mesh.vertices[c].position, scale))
                continue;
            int f = -1, k = -1;
            if (mesh.findEdge(c, n, f, k) && mesh.edgeCollapseFK(f, k)) break;
        }
    }
}

void PlaneCut::planeCrease(Mesh& mesh, const std::vector<int>& cut) {
    const int mark = mesh.vertexMark;
    std::vector<int> ring;
    for (const int c : cut) {
        if (!mesh.activeVertex(c) || mesh.vertices[c].face < 0) continue;
        mesh.findNeighbours(c, ring);
        for (const int n : ring)
            if (n >= mark && n != c) mesh.edgeSharpVV(c, n, true);
    }
}

void Mesh::cutPlane(const vec3& point, const vec3& normal) {
    topologyEdited();
    deselectAll();
    const dvec3 P(point), N(normal);
    CutSides sides(*this, P, N);
    sides.all();
    sides.settle(nullptr);
    std::vector<int> cut;
    PlaneCut::planeCutFaces(*this, P, N, sides.values(), sides.crossed(), false, cut);
    PlaneCut::planeCrease(*this, cut);
    cutNormals(*this, cut);
    deselectAll();
    // A weld of coincident cut points leaves inactive records: they go
    // now, so that what is saved is what a load keeps; the normals stay the
    // whole-mesh pass's.
    removeInactiveKeepingNormals(false);
}

void Mesh::cutPlaneF(const vec3& point, const vec3& normal, int face) {
    topologyEdited();
    deselectAll();
    if (!selectF(point, true, face) && selectedFaces.empty()) return;
    planeCutSelectedFaces(point, normal);
}

void Mesh::planeCutSelectedFaces(const vec3& point, const vec3& normal) {
    topologyEdited();
    const dvec3 P(point), N(normal);
    CutSides sides(*this, P, N);
    sides.settle(&selectedFaces);
    PlaneCut::planeMarkSide(*this, sides.values(), &selectedFaces, nullptr);
    std::vector<int> cut;
    PlaneCut::planeCutFaces(*this, P, N, sides.values(), selectedFaces, true, cut);
    PlaneCut::planeCrease(*this, cut);
    cutNormals(*this, cut);
    deselectAll();
    // A weld of coincident cut points leaves inactive records: they go
    // now, so that what is saved is what a load keeps; the normals stay the
    // whole-mesh pass's.
    removeInactiveKeepingNormals(false);
}

void Mesh::cutPlaneG_(const vec3& point, const vec3& normal, int face) {
    topologyEdited();
    deselectAll();
    if (face < 0) face = findFirstFace(point);
    if (!activeFace(face)) return;
    const dvec3 P(point), N(normal);
    CutSides sides(*this, P, N);
    // Breadth-first along the plane's line through the face: across an
    // edge that is neither sharp nor open and whose ends lie on different
    // sides; selectedFaces is the queue. The positive corners of the band
    // are marked once it is known and its sides settled.
    selectFace(*this, face);
    for (std::size_t i = 0; i < selectedFaces.size(); ++i) {
        const MeshFace& F = faces[selectedFaces[i]];
        for (int k = 0; k < 3; ++k) {
            const int g = link(F, k);
            if (g < 0 || F.isSharp(k) || (faces[g].flags & kFaceMarks)) continue;
            const int a = F.v[nextK(k)], b = F.v[prevK(k)];
            if ((sides(a) > 0) != (sides(b) > 0)) selectFace(*this, g);
        }
    }
    sides.settle(&selectedFaces);
    PlaneCut::planeMarkSide(*this, sides.values(), &selectedFaces, nullptr);
    std::vector<int> cut;
    PlaneCut::planeCutFaces(*this, P, N, sides.values(), selectedFaces, true, cut);
    PlaneCut::planeCrease(*this, cut);
    cutNormals(*this, cut);
    deselectAll();
    // A weld of coincident cut points leaves inactive records: they go
    // now, so that what is saved is what a load keeps; the normals stay the
    // whole-mesh pass's.
    removeInactiveKeepingNormals(false);
}

void PlaneCut::planeClip(Mesh& mesh, const vec3& point, const vec3& normal, PlaneHoles* holes) {
    mesh.deselectAll();
    const int mark = mesh.vertexMark;
    const dvec3 P(point), N(normal);
    CutSides sides(mesh, P, N);
    sides.all();
    sides.settle(nullptr);
    std::vector<int> cut, onPlane;
    planeMarkSide(mesh, sides.values(), nullptr, holes ? &onPlane : nullptr);
    planeCutFaces(mesh, P, N, sides.values(), sides.crossed(), false, cut);
    planeCrease(mesh, cut);
    // Every face round a positive vertex lies on the positive side now. One
    // pass over the faces finds them all (cheaper than circling each
    // vertex); they are listed first, as an erase may re-point corners.
    for (int f = 0; f < mesh.faceCount(); ++f) {
        const MeshFace& F = mesh.faces[f];
        if (!F.isActive()) continue;
        for (const int v : F.v)
            if (mesh.vertices[v].isSelected()) {
                selectFace(mesh, f);
                break;
            }
    }
    std::vector<std::pair<int, int>> copies;
    for (std::size_t i = 0; i < mesh.selectedFaces.size(); ++i)
        mesh.faceErase(mesh.selectedFaces[i], holes ? &copies : nullptr);
    mesh.deselectAll();
    if (!holes) return;
    // Identity of the border vertices: every vertex is its own root but the
    // erase's copies, made after the vertex they copy (perhaps a copy).
    const std::size_t n = mesh.vertices.size();
    holes->root.resize(n);
    holes->placed.assign(n, 0);
    holes->stackAt.assign(n, -1);
    for (std::size_t v = 0; v < n; ++v) holes->root[v] = int(v);
    for (int v = 0; v < mark; ++v) holes->placed[std::size_t(v)] = sides.values()[std::size_t(v)] == 0;
    for (const int v : cut) holes->placed[std::size_t(v)] = 1;
    for (const auto& c : copies) {
        const int r = holes->root[std::size_t(c.second)];
        holes->root[std::size_t(c.first)] = r;
        holes->placed[std::size_t(c.first)] = holes->placed[std::size_t(r)];
    }
    // Cut vertices (or their copies) that rounded onto one point are one.
    std::vector<int> made(cut);
    for (const auto& c : copies)
        if (holes->root[std::size_t(c.first)] >= mark) made.push_back(c.first);
    rootCoincidentCutVertices(mesh, made, holes->root);
    holes->starts = std::move(cut);
    holes->starts.insert(holes->starts.end(), onPlane.begin(), onPlane.end());
}

void Mesh::clipPlane(const vec3& point, const vec3& normal) {
    topologyEdited();
    PlaneCut::planeClip(*this, point, normal, nullptr);
    PlaneCut::planeDropUnusedVertices(*this);
    removeInactive(false);
    calculateNormals(2);
}

}  // namespace qel
