// Plane operations of qel::Mesh: the cut along a plane (whole mesh, one
// component, one band of faces), the clip of the positive side and the
// subtraction that closes the clipped holes with flat caps.
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
// least that far from both ends of its edge.

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "core/geometry.h"
#include "core/simple_polygon.h"
#include "mesh/mesh.h"

namespace qel {

namespace {

double side(const Mesh& m, int v, const dvec3& point, const dvec3& normal) {
    return dot(dvec3(m.vertices[v].position) - point, normal);
}

double largestCoordinate(const dvec3& p) { return std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)}); }

// Which side of the plane a vertex lies on: 1 positive, -1 negative, 0 on
// the plane up to rounding. The band is a few float steps of the larger of
// the vertex's and the plane point's coordinates: wider than the rounding
// of a stored crossing point, far narrower than any edge worth keeping.
class PlaneSides {
public:
    PlaneSides(const Mesh& m, const dvec3& point, const dvec3& normal)
        : m_(m),
          point_(point),
          normal_(normal),
          pointScale_(largestCoordinate(point)),
          band_(std::ldexp(std::sqrt(dot(normal, normal)), -20)) {}

    int operator()(int v) const {
        const dvec3 p(m_.vertices[v].position);
        const double d = dot(p - point_, normal_);
        const double band = band_ * std::max(pointScale_, largestCoordinate(p));
        return d > band ? 1 : (d < -band ? -1 : 0);
    }

private:
    const Mesh& m_;
    const dvec3 point_, normal_;
    const double pointScale_, band_;
};

void selectFace(Mesh& m, int f) {
    m.faces[f].flags = std::uint8_t(m.faces[f].flags | MeshFace::SelectedBit);
    m.selectedFaces.push_back(f);
}

constexpr std::uint8_t kFaceMarks = MeshFace::SelectedBit | MeshFace::VisitedBit;

// One edge of the cap that meets the mesh's open border.
struct CapJoin {
    int capFace, capEdge, meshFace, meshEdge;
};

// Every vertex of the loop lies on the plane, up to the rounding of the
// cut points: a border loop that leaves the plane is not a hole of the clip.
bool loopOnPlane(const Mesh& m, const std::vector<int>& loop, const vec3& point, const vec3& normal) {
    const dvec3 P(point), N(normal);
    const double n = std::sqrt(dot(N, N));
    double scale = 1;
    for (int i = 0; i < 3; ++i) scale = std::max(scale, std::fabs(P[i]));
    for (const int v : loop)
        for (int i = 0; i < 3; ++i) scale = std::max(scale, std::fabs(double(m.vertices[v].position[i])));
    for (const int v : loop)
        if (std::fabs(side(m, v, P, N)) > 1e-5 * scale * n) return false;
    return true;
}

// An open edge is named 3 f + k (edge k of face f); it runs from corner
// k + 1 to corner k + 2 of its face.
int edgeStart(const Mesh& m, int h) { return m.faces[std::size_t(h / 3)].v[nextK(h % 3)]; }
int edgeEnd(const Mesh& m, int h) { return m.faces[std::size_t(h / 3)].v[prevK(h % 3)]; }

int activeLink(const Mesh& m, const MeshFace& F, int e) { return m.activeFace(F.f[e]) ? F.f[e] : -1; }

// The open edge after h along the border: round h's end vertex, face by
// face across the edges leaving it, to the next open edge of the same fan.
// -1 when the fan is broken.
int nextOpenEdge(const Mesh& m, int h) {
    const int b = edgeEnd(m, h);
    int f = h / 3, c = prevK(h % 3);
    for (std::size_t step = 0; step <= m.faces.size(); ++step) {
        const int e = prevK(c);
        const int g = activeLink(m, m.faces[std::size_t(f)], e);
        if (g < 0) return 3 * f + e;
        f = g;
        c = m.faces[std::size_t(f)].corner(b);
        if (c < 0) return -1;
    }
    return -1;
}

// The closed chain of open edges from h back to h, each marked walked.
// False when it does not come back (or meets an edge walked before).
bool borderChain(const Mesh& m, int h, std::vector<char>& walked, std::vector<int>& chain) {
    chain.clear();
    int e = h;
    do {
        if (e < 0 || std::size_t(e) >= walked.size() || walked[std::size_t(e)]) return false;
        walked[std::size_t(e)] = 1;
        chain.push_back(e);
        e = nextOpenEdge(m, e);
    } while (e != h);
    return true;
}

// Gives the faces round the end vertex u of open edge h, from h's face
// forward to the next open edge, the vertex `into` instead. u, a copy the
// erase made for that one fan, is then used by no face and dropped.
void mergeFan(Mesh& m, int h, int into) {
    const int u = edgeEnd(m, h);
    int f = h / 3;
    for (std::size_t step = 0; step <= m.faces.size(); ++step) {
        MeshFace& F = m.faces[std::size_t(f)];
        const int c = F.corner(u);
        if (c < 0) break;
        F.v[c] = into;
        const int g = activeLink(m, F, prevK(c));
        if (g < 0) break;
        f = g;
    }
    MeshVertex& r = m.vertices[std::size_t(u)];
    if (m.activeFace(r.face) && m.faces[std::size_t(r.face)].corner(u) >= 0) return;
    r.flags = std::uint8_t(r.flags & ~MeshVertex::ActiveBit);
    r.face = -1;
    m.needsCompaction = 1;
}

std::array<float, 3> pointOf(const Mesh& m, int v) {
    const vec3& p = m.vertices[std::size_t(v)].position;
    return {p.x, p.y, p.z};
}

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

void Mesh::planeMarkSide(const dvec3& point, const dvec3& normal, const std::vector<int>* scope,
                         std::vector<int>* onPlane) {
    const int mark = vertexMark;
    const PlaneSides sideOf(*this, point, normal);
    auto test = [&](int v) {
        if (v < 0 || v >= mark || vertices[v].isSelected()) return;
        const int s = sideOf(v);
        if (s > 0)
            appendSelectedVertex(v);
        else if (s == 0 && onPlane && vertices[v].isActive() && !vertices[v].isBorder())
            onPlane->push_back(v);
    };
    if (!scope) {
        for (int v = 0; v < mark; ++v) test(v);
        return;
    }
    for (const int f : *scope)
        for (const int v : faces[f].v) test(v);
}

void Mesh::planeCutFaces(const dvec3& point, const dvec3& normal, std::vector<int>* scope, std::vector<int>& cut) {
    const int mark = vertexMark;
    const PlaneSides sideOf(*this, point, normal);
    // An edge crosses when one end is selected (positive) and the other
    // negative: an end on the plane is never split off.
    auto crossing = [&](int a, int b) {
        if (a >= mark || b >= mark) return false;
        const bool sa = vertices[a].isSelected();
        if (sa == vertices[b].isSelected()) return false;
        return sideOf(sa ? b : a) < 0;
    };
    for (std::size_t i = 0;; ++i) {
        int f = int(i);
        if (scope) {
            if (i >= scope->size()) break;
            f = (*scope)[i];
        } else if (i >= faces.size()) {
            break;
        }
        const MeshFace& G = faces[f];
        if (!G.isActive()) continue;
        // Only a face with both selected and unselected corners can cross.
        const int selected = int(vertices[G.v[0]].isSelected()) + int(vertices[G.v[1]].isSelected()) +
                             int(vertices[G.v[2]].isSelected());
        if (selected == 0 || selected == 3) continue;
        for (int k = 0; k < 3;) {
            const MeshFace& F = faces[f];
            const int a = F.v[nextK(k)], b = F.v[prevK(k)];
            if (!crossing(a, b)) {
                ++k;
                continue;
            }
            const int g = link(F, k);
            const bool hard = F.isSharp(k) || g < 0;
            const bool gInScope = g >= 0 && (faces[g].flags & kFaceMarks) != 0;
            const dvec3 x = CalculateIntersectionPlaneSegment(point, normal, dvec3(vertices[a].position),
                                                              dvec3(vertices[b].position));
            const int first = faceCount();
            const int nv = edgeSplitFK(f, k, vec3(x));
            if (nv < 0) {
                ++k;
                continue;
            }
            MeshVertex& r = vertices[nv];
            r.flags = hard ? std::uint8_t(r.flags | MeshVertex::SharpBit | MeshVertex::CornerBit)
                           : std::uint8_t(r.flags & ~MeshVertex::CornerBit);
            cut.push_back(nv);
            if (scope) {
                if (first < faceCount()) selectFace(*this, first);
                if (gInScope && first + 1 < faceCount()) selectFace(*this, first + 1);
            }
            k = 0;
        }
    }
}

void Mesh::planeCrease(const std::vector<int>& cut) {
    const int mark = vertexMark;
    std::vector<int> ring;
    for (const int c : cut) {
        if (vertices[c].face < 0) continue;
        findNeighbours(c, ring);
        for (const int n : ring)
            if (n >= mark && n != c) edgeSharpVV(c, n, true);
    }
}

void Mesh::cutPlane(const vec3& point, const vec3& normal) {
    deselectAll();
    const dvec3 P(point), N(normal);
    planeMarkSide(P, N, nullptr, nullptr);
    std::vector<int> cut;
    planeCutFaces(P, N, nullptr, cut);
    planeCrease(cut);
    cutNormals(*this, cut);
    deselectAll();
}

void Mesh::cutPlaneF(const vec3& point, const vec3& normal, int face) {
    deselectAll();
    if (!selectF(point, true, face) && selectedFaces.empty()) return;
    planeCutSelectedFaces(point, normal);
}

void Mesh::planeCutSelectedFaces(const vec3& point, const vec3& normal) {
    const dvec3 P(point), N(normal);
    planeMarkSide(P, N, &selectedFaces, nullptr);
    std::vector<int> cut;
    planeCutFaces(P, N, &selectedFaces, cut);
    planeCrease(cut);
    cutNormals(*this, cut);
    deselectAll();
}

void Mesh::cutPlaneG_(const vec3& point, const vec3& normal, int face) {
    deselectAll();
    if (face < 0) face = findFirstFace(point);
    if (!activeFace(face)) return;
    const dvec3 P(point), N(normal);
    const PlaneSides sideOf(*this, P, N);
    // Breadth-first along the plane's line through the face: across an
    // edge that is neither sharp nor open and whose ends lie on different
    // sides; selectedFaces is the queue.
    selectFace(*this, face);
    for (std::size_t i = 0; i < selectedFaces.size(); ++i) {
        const MeshFace& F = faces[selectedFaces[i]];
        for (const int v : F.v)
            if (v < vertexMark && !vertices[v].isSelected() && sideOf(v) > 0) appendSelectedVertex(v);
        for (int k = 0; k < 3; ++k) {
            const int g = link(F, k);
            if (g < 0 || F.isSharp(k) || (faces[g].flags & kFaceMarks)) continue;
            const int a = F.v[nextK(k)], b = F.v[prevK(k)];
            const bool pa = sideOf(a) > 0, pb = sideOf(b) > 0;
            if (pa != pb) selectFace(*this, g);
        }
    }
    std::vector<int> cut;
    planeCutFaces(P, N, &selectedFaces, cut);
    planeCrease(cut);
    cutNormals(*this, cut);
    deselectAll();
}

void Mesh::planeClip(const vec3& point, const vec3& normal, std::vector<int>& cut, std::vector<int>& onPlane) {
    deselectAll();
    const dvec3 P(point), N(normal);
    planeMarkSide(P, N, nullptr, &onPlane);
    planeCutFaces(P, N, nullptr, cut);
    planeCrease(cut);
    // Every face round a positive vertex lies on the positive side now. One
    // pass over the faces finds them all (cheaper than circling each
    // vertex); they are listed first, as an erase may re-point corners.
    for (int f = 0; f < faceCount(); ++f) {
        const MeshFace& F = faces[f];
        if (!F.isActive()) continue;
        for (const int v : F.v)
            if (vertices[v].isSelected()) {
                selectFace(*this, f);
                break;
            }
    }
    for (std::size_t i = 0; i < selectedFaces.size(); ++i) faceErase(selectedFaces[i]);
    deselectAll();
}

void Mesh::clipPlane(const vec3& point, const vec3& normal) {
    std::vector<int> cut, onPlane;
    planeClip(point, normal, cut, onPlane);
    removeInactive(false);
    calculateNormals(2);
}

void Mesh::subPlane(const vec3& point, const vec3& normal, const pbr& material) {
    std::vector<int> cut, onPlane;
    planeClip(point, normal, cut, onPlane);
    calculateNormals(2);
    // Every border the erase opened: walks start at the open edges that
    // leave a cut vertex or a vertex on the plane that became a border
    // vertex. A walk goes round the fans of the vertices it passes, so a
    // border that touches itself at a vertex (a plane tangent at a saddle)
    // comes back to that vertex once per loop; it is split there into
    // simple loops, each capped on its own.
    const int nF = faceCount();
    std::vector<char> starts(vertices.size(), 0), walked(3 * std::size_t(nF), 0);
    for (const int v : cut) starts[std::size_t(v)] = 1;
    for (const int v : onPlane) starts[std::size_t(v)] = 1;
    std::vector<int> chain;
    bool merged = false;
    for (int f = 0; f < nF; ++f) {
        if (!faces[f].isActive()) continue;
        for (int k = 0; k < 3; ++k) {
            const int h = 3 * f + k;
            if (walked[std::size_t(h)] || link(faces[f], k) >= 0 || !starts[std::size_t(edgeStart(*this, h))]) continue;
            if (borderChain(*this, h, walked, chain)) merged = planeCapChain(chain, point, normal, material) || merged;
        }
    }
    removeInactive(false);
    // A merged vertex whose loops were not both capped has two fans: each
    // gets its own copy again.
    if (merged) splitCoincidentVertices();
}

bool Mesh::planeCapChain(const std::vector<int>& chain, const vec3& point, const vec3& normal, const pbr& material) {
    // Each return to a point already on the stack closes the loop from
    // there; the rest closes at the chain's end. The erase gave the second
    // fan at such a point a copy of its vertex: the copy is merged back, so
    // that the caps join the fans into one.
    std::map<std::array<float, 3>, std::size_t> at;  // stack position of each point on the stack
    std::vector<int> stack, loop;
    bool merged = false;
    for (const int e : chain) {
        const std::array<float, 3> p = pointOf(*this, edgeStart(*this, e));
        const auto seen = at.find(p);
        if (seen != at.end()) {
            const std::size_t from = seen->second;
            loop.assign(stack.begin() + std::ptrdiff_t(from), stack.end());
            stack.resize(from);
            for (const int x : loop) at.erase(pointOf(*this, edgeStart(*this, x)));
            const int s = edgeStart(*this, loop.front());
            if (edgeStart(*this, e) != s) {
                mergeFan(*this, loop.back(), s);
                merged = true;
            }
            planeCapLoop(loop, point, normal, material);
        }
        at[p] = stack.size();
        stack.push_back(e);
    }
    planeCapLoop(stack, point, normal, material);
    return merged;
}

bool Mesh::planeCapLoop(const std::vector<int>& border, const vec3& point, const vec3& normal, const pbr& material) {
    // Open edge i runs from loop vertex i to loop vertex i + 1.
    const int L = int(border.size());
    if (L < 3) return false;
    std::vector<int> loop(border.size());
    for (int i = 0; i < L; ++i) loop[std::size_t(i)] = edgeStart(*this, border[std::size_t(i)]);
    if (!loopOnPlane(*this, loop, point, normal)) return false;

    // The frame maps the plane onto z = 0 with the loop's first vertex at
    // the origin.
    const mat4 frame = mat4::Rotation(normal, vec3(0, 0, 1)) * mat4::Translation(-vertices[loop[0]].position);
    SimplePolygon outline;
    outline.points.reserve(loop.size());
    for (const int u : loop) {
        const vec3 q = frame.transformProject(vertices[u].position);
        outline.points.push_back(vec2(q.x, q.y));
    }
    const Mesh cap = FromSimplePolygon(outline, false, 0, 0);
    if (cap.status != 0 || cap.faceCount() == 0 || cap.vertexCount() < L) return false;

    // Cap vertex i < L is loop vertex i. Every open cap edge must meet one
    // open edge of the loop, all run the other way (or all the same way:
    // the cap is then turned over), and each loop edge once.
    std::vector<CapJoin> joins;
    std::vector<char> joined(border.size(), 0);
    int direction = 0;
    for (int cf = 0; cf < cap.faceCount(); ++cf) {
        const MeshFace& C = cap.faces[cf];
        if (!C.isActive()) continue;
        for (int e = 0; e < 3; ++e) {
            if (cap.activeFace(C.f[e])) continue;
            const int a = C.v[nextK(e)], b = C.v[prevK(e)];
            if (a >= L || b >= L) return false;
            int i = -1, d = 0;
            if (b == (a + 1) % L) {
                i = a;
                d = -1;
            } else if (a == (b + 1) % L) {
                i = b;
                d = 1;
            }
            if (i < 0 || joined[std::size_t(i)] || (direction != 0 && d != direction)) return false;
            direction = d;
            joined[std::size_t(i)] = 1;
            joins.push_back({cf, e, border[std::size_t(i)] / 3, border[std::size_t(i)] % 3});
        }
    }
    if (int(joins.size()) != L) return false;

    const bool flip = direction < 0;
    const double len = std::sqrt(double(dot(normal, normal)));
    const vec3 n = normal * float((flip ? -1.0 : 1.0) / len);
    const mat4 back = frame.inverse();
    std::vector<int> capFace(cap.faceCount(), -1);
    int next = faceCount();
    for (int cf = 0; cf < cap.faceCount(); ++cf)
        if (cap.faces[cf].isActive()) capFace[cf] = next++;
    std::vector<int> capVertex(cap.vertexCount(), -1);
    std::copy(loop.begin(), loop.end(), capVertex.begin());
    for (int cf = 0; cf < cap.faceCount(); ++cf) {
        const MeshFace& C = cap.faces[cf];
        if (!C.isActive()) continue;
        int cv[3], cl[3];
        for (int j = 0; j < 3; ++j) {
            int& m = capVertex[C.v[j]];
            if (m < 0) m = vertexAdd(MeshVertex(back.transformProject(cap.vertices[C.v[j]].position), capFace[cf]));
            cv[j] = m;
            cl[j] = cap.activeFace(C.f[j]) ? capFace[C.f[j]] : -1;
        }
        if (flip) {
            std::swap(cv[0], cv[2]);
            std::swap(cl[0], cl[2]);
        }
        MeshFace N(cv[0], cv[1], cv[2], cl[0], cl[1], cl[2], false, false, false);
        N.normal = n;
        for (vec3& c : N.normals) c = n;
        N.setMaterial(material, material, material, 0xFF);
        faceAdd(N);
    }
    // Link the joined edges both ways, sharp on both sides.
    for (const CapJoin& j : joins) {
        const int g = capFace[j.capFace];
        const int e = flip ? 2 - j.capEdge : j.capEdge;
        faces[g].f[e] = j.meshFace;
        faces[g].setSharp(e, true);
        faces[j.meshFace].f[j.meshEdge] = g;
        faces[j.meshFace].setSharp(j.meshEdge, true);
    }
    for (const int u : loop) {
        vertices[u].flags = std::uint8_t(vertices[u].flags | MeshVertex::SharpBit);
        vertexUpdate(u);
    }
    return true;
}

}  // namespace qel
