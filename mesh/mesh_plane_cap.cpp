// The plane subtraction of qel::Mesh: the clip, then a flat cap over every
// hole it opened, and the mend of the faces too small to carry a normal
// that the caps or the cut may leave. The cut and the clip it runs are in
// mesh/mesh_plane_cut.cpp.
//
// The cap of a hole follows vertex identity: the border walk recognises a
// return to a vertex by its index, or by the vertex it was copied from when
// the erase split an open fan, or, for vertices the cut made, by its point
// (crossing points of edges that share no vertex may round onto one). Two
// distinct vertices at one point that the cut did not make are never
// merged.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/simple_polygon.h"
#include "mesh/mesh.h"
#include "mesh/plane_cut.h"
#include "mesh/plane_hole_loops.h"

namespace qel {

namespace {

// One edge of the cap that meets the mesh's open border.
struct CapJoin {
    int capFace, capEdge, meshFace, meshEdge;
};

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

// Twice the signed area of the cap triangle (a, b, c) in the cap's plane.
double capArea2(const Mesh& cap, int a, int b, int c) {
    const vec3 &p = cap.vertices[std::size_t(a)].position, &q = cap.vertices[std::size_t(b)].position,
               &r = cap.vertices[std::size_t(c)].position;
    return (double(q.x) - p.x) * (double(r.y) - p.y) - (double(q.y) - p.y) * (double(r.x) - p.x);
}

// The sign of the cap's winding in its plane: the sum of its triangles'
// doubled areas.
double capWinding(const Mesh& cap) {
    double winding = 0;
    for (const MeshFace& F : cap.faces)
        if (F.isActive()) winding += capArea2(cap, F.v[0], F.v[1], F.v[2]);
    return winding;
}

// Turns the edge k of cap face f towards the corner c across it when both
// triangles this makes carry a normal once in place (`at`: the cap
// vertices' positions in the mesh) and keep the cap's winding, so that the
// cap covers the same region with the same outline; the new edge joins c
// to a, the corner of f across the edge, and must not be `refused`.
template <typename Refused>
bool turnCapEdge(Mesh& cap, const std::vector<vec3>& at, double winding, int f, int k, const Refused& refused) {
    const MeshFace& F = cap.faces[std::size_t(f)];
    const int g = F.f[k];
    if (!cap.activeFace(g)) return false;
    const int a = F.v[k], b1 = F.v[nextK(k)], b2 = F.v[prevK(k)];
    int c = -1;
    for (const int v : cap.faces[std::size_t(g)].v)
        if (v != b1 && v != b2) c = v;
    auto sound = [&](int p, int q, int r) {
        return !noNormal(at[std::size_t(p)], at[std::size_t(q)], at[std::size_t(r)]) &&
               capArea2(cap, p, q, r) * winding > 0;
    };
    return c >= 0 && c != a && sound(a, b1, c) && sound(a, c, b2) && !refused(a, c) && cap.edgeFlipFK(f, k);
}

// A triangulation of a loop whose points crowd together (cut points a few
// float steps apart round a vertex the plane grazed) may hold a triangle
// too small to carry a normal once in place. Such a triangle's inner edge
// is turned towards the vertex across it where turnCapEdge allows.
bool turnCapSlivers(Mesh& cap, const std::vector<vec3>& at) {
    const double winding = capWinding(cap);
    auto anyEdge = [](int, int) { return false; };
    bool any = false;
    for (int pass = 0; pass < 4; ++pass) {
        bool turned = false;
        for (int f = 0; f < cap.faceCount(); ++f) {
            const MeshFace& F = cap.faces[f];
            if (!F.isActive() || !noNormal(at[std::size_t(F.v[0])], at[std::size_t(F.v[1])], at[std::size_t(F.v[2])]))
                continue;
            for (int k = 0; k < 3; ++k)
                if (turnCapEdge(cap, at, winding, f, k, anyEdge)) {
                    turned = any = true;
                    break;
                }
        }
        if (!turned) break;
    }
    return any;
}

// The joins of a cap whose vertex i < L is loop vertex i (L the length of
// `border`): every open cap edge meets one open edge of the loop, all run
// the other way (direction 1) or all the same way (-1: the cap is turned
// over), and each loop edge once. False when the cap does not keep to the
// loop.
bool capJoins(const Mesh& cap, const std::vector<int>& border, std::vector<CapJoin>& joins, int& direction) {
    const int L = int(border.size());
    joins.clear();
    direction = 0;
    if (cap.status != 0 || cap.faceCount() == 0 || cap.vertexCount() < L) return false;
    std::vector<char> joined(border.size(), 0);
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
    return int(joins.size()) == L;
}

// The vertices a and b are joined by an edge (found in the ring of either).
bool edgeJoins(const Mesh& m, int a, int b) {
    int f = -1, k = -1;
    return m.findEdge(a, b, f, k) || m.findEdge(b, a, f, k);
}

// The cap vertices a and b are loop vertices that an edge of the mesh
// joins already (cap vertex i < L is loop vertex i; loop vertex 0 also
// stands for `merged`, -1 for none, merged into it with the cap): a cap edge
// between them would be the edge's third and fourth face.
struct MeshJoins {
    const Mesh& mesh;
    const std::vector<int>& loop;
    int merged;

    bool operator()(int a, int b) const {
        const int L = int(loop.size());
        if (a >= L || b >= L) return false;
        const int x = loop[std::size_t(a)], y = loop[std::size_t(b)];
        return edgeJoins(mesh, x, y) ||
               (merged >= 0 && ((a == 0 && edgeJoins(mesh, merged, y)) || (b == 0 && edgeJoins(mesh, merged, x))));
    }
};

// The active mesh face whose corners are a, b and c, found at the edge
// a-b; -1 when there is none.
int faceWith(const Mesh& m, int a, int b, int c) {
    int f = -1, k = -1;
    if (!m.findEdge(a, b, f, k) && !m.findEdge(b, a, f, k)) return -1;
    for (const int g : {f, m.faces[std::size_t(f)].f[k]}) {
        if (!m.activeFace(g)) continue;
        const MeshFace& G = m.faces[std::size_t(g)];
        if (G.corner(a) >= 0 && G.corner(b) >= 0 && G.corner(c) >= 0) return g;
    }
    return -1;
}

// Cap faces that lie on a face of the mesh: all three corners are loop
// vertices (cap vertex i < L is loop vertex i) and a mesh face holds the
// same three, turned the other way (it lies in the plane, facing the kept
// side). Such a pair encloses nothing: both go, and the faces beyond them
// are joined. twin[cf] is the mesh face of cap face cf, -1 for none. False
// when a pair cannot go so: the faces turned the same way, or a loop edge
// of the cap face joined to another face.
bool capTwins(const Mesh& m, const Mesh& cap, const std::vector<int>& loop, const std::vector<CapJoin>& joins,
              bool flip, std::vector<int>& twin) {
    const int L = int(loop.size());
    twin.assign(std::size_t(cap.faceCount()), -1);
    for (int cf = 0; cf < cap.faceCount(); ++cf) {
        const MeshFace& C = cap.faces[cf];
        if (!C.isActive() || C.v[0] >= L || C.v[1] >= L || C.v[2] >= L) continue;
        const int x = loop[std::size_t(C.v[0])], y = loop[std::size_t(C.v[1])], z = loop[std::size_t(C.v[2])];
        const int g = faceWith(m, x, y, z);
        if (g < 0) continue;
        // Written as (x, y, z), or turned over as (z, y, x); the mesh face
        // runs the edge x-y the other way.
        const MeshFace& G = m.faces[std::size_t(g)];
        const int from = flip ? x : y, to = flip ? y : x;
        if (G.v[nextK(G.corner(from))] != to) return false;
        twin[std::size_t(cf)] = g;
    }
    for (int cf = 0; cf < cap.faceCount(); ++cf) {
        const int g = twin[std::size_t(cf)];
        if (g < 0) continue;
        for (const CapJoin& j : joins)
            if (j.capFace == cf && j.meshFace != g) return false;
    }
    return true;
}

// Every edge inside the cap whose ends are both loop vertices joins two
// vertices that no edge of the mesh joins (`joined`), or is an edge of a
// cap face with a twin (which goes with its twin, the edge then run by the
// faces beyond them, or by none) on a loop that merges no vertex.
bool capDiagonalsFree(const Mesh& cap, const std::vector<int>& twin, const MeshJoins& joined) {
    for (int cf = 0; cf < cap.faceCount(); ++cf) {
        const MeshFace& C = cap.faces[cf];
        if (!C.isActive()) continue;
        for (int e = 0; e < 3; ++e) {
            const int a = C.v[nextK(e)], b = C.v[prevK(e)];
            if (!cap.activeFace(C.f[e]) || a > b || !joined(a, b)) continue;
            if (joined.merged >= 0 || (twin[std::size_t(cf)] < 0 && twin[std::size_t(C.f[e])] < 0)) return false;
        }
    }
    return true;
}

// Turns every edge inside the cap that an edge of the mesh runs already
// (`joined`) where turnCapEdge allows and the new edge is free: a local
// change of the triangulation, its cost the number of such edges. True
// when it turned one.
bool turnCapOffMeshEdges(Mesh& cap, const std::vector<vec3>& at, const MeshJoins& joined) {
    const double winding = capWinding(cap);
    bool any = false;
    for (int f = 0; f < cap.faceCount(); ++f) {
        if (!cap.faces[f].isActive()) continue;
        for (int k = 0; k < 3; ++k) {
            const MeshFace& F = cap.faces[f];
            if (joined(F.v[nextK(k)], F.v[prevK(k)]) && turnCapEdge(cap, at, winding, f, k, joined)) any = true;
        }
    }
    return any;
}

// How a triangulation of a loop fits it: Off when it does not keep to the
// loop's edges, OnMeshEdges when a face of it would lie on a mesh face
// turned the same way or an edge inside it on an edge of the mesh.
enum class CapFit { Off, OnMeshEdges, Fits };

// Ears are clipped around the mesh's edges from this many starts.
constexpr int kEarStarts = 4;

// A triangulation of a loop (cap vertex i < L is loop vertex i) with what
// joining it needs: its vertices' positions in the mesh, its joins, the
// mesh face each of its faces goes with (-1: none) and whether it is turned
// over.
struct LoopCap {
    Mesh cap;
    std::vector<vec3> at;
    std::vector<CapJoin> joins;
    std::vector<int> twin;
    bool flip = false;
};

// Places the cap's vertices (loop vertices where they are, the others
// mapped back from the plane by `back`), turns its slivers and finds its
// joins and twins.
CapFit fitCap(LoopCap& c, const std::vector<int>& border, const MeshJoins& joined, const mat4& back) {
    const Mesh& mesh = joined.mesh;
    const std::vector<int>& loop = joined.loop;
    const int L = int(loop.size());
    int direction = 0;
    if (!capJoins(c.cap, border, c.joins, direction)) return CapFit::Off;
    c.at.resize(std::size_t(c.cap.vertexCount()));
    for (int i = 0; i < c.cap.vertexCount(); ++i)
        c.at[std::size_t(i)] =
            i < L ? mesh.vertices[loop[std::size_t(i)]].position : back.transformProject(c.cap.vertices[i].position);
    // Turning edges inside the cap renumbers none of its open edges' faces
    // but may move them: the joins are found again.
    if (turnCapSlivers(c.cap, c.at) && !capJoins(c.cap, border, c.joins, direction)) return CapFit::Off;
    // An edge inside the cap between two loop vertices that an edge of the
    // mesh joins already would be run by four faces, unless the cap face
    // on it lies on a mesh face and goes with it.
    c.flip = direction < 0;
    return capTwins(mesh, c.cap, loop, c.joins, c.flip, c.twin) && capDiagonalsFree(c.cap, c.twin, joined)
               ? CapFit::Fits
               : CapFit::OnMeshEdges;
}

// The face f's edge between the vertices a and b is linked to `to` and
// marked sharp.
void linkAcross(Mesh& m, int f, int a, int b, int to) {
    MeshFace& F = m.faces[std::size_t(f)];
    const int k = 3 - F.corner(a) - F.corner(b);
    F.f[k] = to;
    F.setSharp(k, true);
}

// Removes each cap face with its twin (the same three vertices, turned the
// other way; pairs[i] = (cap face, mesh face)), one pair after another:
// across each edge the faces beyond the two, as linked at the time, are
// linked to each other, so that a run of pairs goes as a whole. A vertex
// left without a face leaves the mesh.
void removeTwins(Mesh& m, const std::vector<std::pair<int, int>>& pairs) {
    std::vector<int> touched, corners;
    for (const auto& [c, g] : pairs) {
        const MeshFace C = m.faces[std::size_t(c)], G = m.faces[std::size_t(g)];
        for (int e = 0; e < 3; ++e) {
            const int a = C.v[nextK(e)], b = C.v[prevK(e)], A = C.f[e];
            corners.push_back(C.v[e]);
            if (A == g) continue;
            const int B = G.f[3 - G.corner(a) - G.corner(b)];
            if (A >= 0) linkAcross(m, A, a, b, B);
            if (B >= 0) linkAcross(m, B, a, b, A);
            touched.push_back(A);
            touched.push_back(B);
        }
        for (const int f : {c, g}) m.faces[std::size_t(f)].flags &= std::uint8_t(~MeshFace::ActiveBit);
        m.needsCompaction = 1;
    }
    for (const int u : corners) {
        MeshVertex& r = m.vertices[std::size_t(u)];
        r.face = -1;
        for (const int f : touched)
            if (m.activeFace(f) && m.faces[std::size_t(f)].corner(u) >= 0) r.face = f;
        if (r.face < 0) r.flags = std::uint8_t(r.flags & ~MeshVertex::ActiveBit);
    }
}

// The outline triangulated by clipping ears, each triangle in the
// outline's winding, in a flat mesh whose vertex i is outline point i; the
// search for each ear starts where the last one was clipped, the first at
// point `start`. No ear is clipped whose new edge joins two points an edge
// of the mesh joins (`joined`, when given). Status 1 (nothing built) for an
// outline of no area, of two points at one place (a loop that touches
// itself is not capped) or too long for the clipping's cost, or without an
// ear to clip.
Mesh clippedEars(const std::vector<vec2>& points, const MeshJoins* joined = nullptr, int start = 0) {
    Mesh cap;
    cap.status = 1;
    const int n = int(points.size());
    if (n < 3 || n > 1024) return cap;
    std::vector<vec2> sorted(points);
    std::sort(sorted.begin(), sorted.end(),
              [](const vec2& a, const vec2& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    for (int i = 1; i < n; ++i)
        if (sorted[std::size_t(i)] == sorted[std::size_t(i - 1)]) return cap;
    auto cross2 = [&](int a, int b, int c) {
        const vec2 &p = points[std::size_t(a)], &q = points[std::size_t(b)], &r = points[std::size_t(c)];
        return (double(q.x) - p.x) * (double(r.y) - p.y) - (double(q.y) - p.y) * (double(r.x) - p.x);
    };
    double area = 0;
    for (int i = 1; i + 1 < n; ++i) area += cross2(0, i, i + 1);
    if (area == 0) return cap;
    const double sign = area > 0 ? 1.0 : -1.0;
    std::vector<int> next(static_cast<std::size_t>(n)), prev(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        next[std::size_t(i)] = (i + 1) % n;
        prev[std::size_t(i)] = (i + n - 1) % n;
    }
    // An ear: a corner turning the outline's way whose triangle holds no
    // other point; where rounding leaves none (the last few points of a
    // loop that crosses itself by a rounding error), any corner turning the
    // outline's way, and then any corner: the cap stays closed, a speck of
    // it turned over. Clipping around the mesh's edges takes true ears
    // only.
    const int levels = joined ? 1 : 3;
    int level = 0;
    auto isEar = [&](int b) {
        const int a = prev[std::size_t(b)], c = next[std::size_t(b)];
        if (joined && (*joined)(a, c)) return false;
        if (level == 2) return true;
        if (sign * cross2(a, b, c) <= 0) return false;
        if (level == 1) return true;
        for (int v = next[std::size_t(c)]; v != a; v = next[std::size_t(v)])
            if (sign * cross2(a, b, v) >= 0 && sign * cross2(b, c, v) >= 0 && sign * cross2(c, a, v) >= 0) return false;
        return true;
    };
    std::vector<int> triangles;
    int b = start % n;
    for (int left = n; left > 3;) {
        int tried = 0;
        for (level = 0; tried < levels * left && !isEar(b); ++tried) {
            b = next[std::size_t(b)];
            level = (tried + 1) / left;
        }
        if (tried == levels * left) return cap;
        const int a = prev[std::size_t(b)], c = next[std::size_t(b)];
        triangles.insert(triangles.end(), {a, b, c});
        next[std::size_t(a)] = c;
        prev[std::size_t(c)] = a;
        b = c;
        --left;
    }
    triangles.insert(triangles.end(), {prev[std::size_t(b)], b, next[std::size_t(b)]});
    for (const vec2& p : points) cap.vertexAdd(vec3(p.x, p.y, 0.0f));
    for (std::size_t i = 0; i < triangles.size(); i += 3)
        cap.faceAdd(triangles[i], triangles[i + 1], triangles[i + 2], false, false, false);
    cap.status = 0;
    cap.initialize(Mesh::ResizeKeep);
    return cap;
}

// The unit normal of a triangle, zero when it has none.
dvec3 unitNormal(const vec3& a, const vec3& b, const vec3& c) {
    const dvec3 A(a), n = cross(dvec3(b) - A, dvec3(c) - A);
    const double l2 = dot(n, n);
    return l2 > NormalizeEpsilon ? n * (1.0 / std::sqrt(l2)) : dvec3(0, 0, 0);
}

// The stored normal is of unit length (a cap face's, or a face's whose
// normal could be formed).
bool unitLength(const vec3& n) { return std::fabs(double(dot(n, n)) - 1) < 1e-3; }

// Collapses edge k of the face f, too small to carry a normal, whose ends
// both hold features (corners, crease junctions) that forbid a collapse:
// its first end goes into its second, which stays in place and takes the
// marks of both; a vertex where two such ends met is a corner. The ends lie
// within rounding of each other, so no feature moves visibly. False (the
// marks as they were) when the collapse would still break the surface.
bool collapsePinned(Mesh& m, int f, int k) {
    constexpr std::uint8_t kMarks = MeshVertex::SharpBit | MeshVertex::CornerBit;
    const MeshFace& F = m.faces[std::size_t(f)];
    const int b1 = F.v[nextK(k)], b2 = F.v[prevK(k)];
    const std::uint8_t m1 = m.vertices[std::size_t(b1)].flags & kMarks,
                       m2 = m.vertices[std::size_t(b2)].flags & kMarks;
    MeshVertex& r1 = m.vertices[std::size_t(b1)];
    r1.flags = std::uint8_t(r1.flags & ~kMarks);
    if (!m.edgeCollapseFK(f, k)) {
        r1.flags = std::uint8_t(r1.flags | m1);
        return false;
    }
    MeshVertex& r2 = m.vertices[std::size_t(b2)];
    r2.flags = std::uint8_t(r2.flags | m1 | m2);
    if (m1 && m2) r2.flags = std::uint8_t(r2.flags | MeshVertex::CornerBit);
    return true;
}

// Erases the face and its three neighbours when they form a closed
// tetrahedron of their own (each linked only to the other three): one face
// too small to carry a normal leaves it no volume, and none of its edges
// can collapse.
bool eraseTetrahedron(Mesh& m, int f) {
    const MeshFace F = m.faces[std::size_t(f)];
    const int g[3] = {F.f[0], F.f[1], F.f[2]};
    if (g[0] == g[1] || g[1] == g[2] || g[2] == g[0]) return false;
    for (const int x : g) {
        if (!m.activeFace(x)) return false;
        for (const int y : m.faces[std::size_t(x)].f)
            if (y == x || (y != f && y != g[0] && y != g[1] && y != g[2])) return false;
    }
    m.faceErase(f);
    for (const int x : g) m.faceErase(x);
    return true;
}

// Removes a face too small to carry a normal (a cap face, or a piece the
// cut made): turns one of its smooth edges towards the vertex across it
// when both faces this makes carry normals on the surface's side there (a
// cap face's own unit normal, else the neighbour's across the edge), else
// collapses its shortest edge that may go, else its shortest edge whose
// ends are pinned by features, else erases the closed tetrahedron it
// belongs to. False when none is possible.
bool removeSliver(Mesh& m, int f) {
    const MeshFace& F = m.faces[std::size_t(f)];
    for (int k = 0; k < 3; ++k) {
        const int g = F.f[k];
        if (!m.activeFace(g) || F.isSharp(k)) continue;
        const dvec3 up(unitLength(F.normal) ? F.normal : m.faces[std::size_t(g)].normal);
        if (!unitLength(vec3(up))) continue;
        const int a = F.v[k], b1 = F.v[nextK(k)], b2 = F.v[prevK(k)];
        int c = -1;
        for (const int v : m.faces[std::size_t(g)].v)
            if (v != b1 && v != b2) c = v;
        if (c < 0 || c == a) continue;
        if (dot(unitNormal(at(m, a), at(m, b1), at(m, c)), up) > 0.5 &&
            dot(unitNormal(at(m, a), at(m, c), at(m, b2)), up) > 0.5 && m.edgeFlipFK(f, k))
            return true;
    }
    int order[3] = {0, 1, 2};
    auto length2 = [&](int k) {
        const vec3 d = at(m, F.v[nextK(k)]) - at(m, F.v[prevK(k)]);
        return double(dot(d, d));
    };
    std::sort(order, order + 3, [&](int x, int y) { return length2(x) < length2(y); });
    for (const int k : order)
        if (m.edgeCollapseFK(f, k)) return true;
    for (const int k : order)
        if (collapsePinned(m, f, k)) return true;
    return eraseTetrahedron(m, f);
}

}  // namespace

void PlaneCut::planeEraseFlatParts(Mesh& mesh, const PlaneHoles& holes) {
    std::vector<char> start(mesh.vertices.size(), 0), seen(mesh.faces.size(), 0);
    for (const int v : holes.starts) start[std::size_t(v)] = 1;
    std::vector<int> part;
    for (int f = 0; f < mesh.faceCount(); ++f) {
        if (seen[std::size_t(f)] || !mesh.faces[f].isActive()) continue;
        part.assign(1, f);
        seen[std::size_t(f)] = 1;
        bool flat = true, opened = false;
        for (std::size_t i = 0; i < part.size(); ++i) {
            const MeshFace& F = mesh.faces[part[i]];
            for (int k = 0; k < 3; ++k) {
                flat = flat && holes.isPlaced(holes.rootOf(F.v[k]));
                const int g = activeLink(mesh, F, k);
                if (g < 0) {
                    const int s = holes.rootOf(F.v[nextK(k)]);
                    opened = opened || (std::size_t(s) < start.size() && start[std::size_t(s)]);
                } else if (!seen[std::size_t(g)]) {
                    seen[std::size_t(g)] = 1;
                    part.push_back(g);
                }
            }
        }
        if (flat && opened)
            for (const int g : part) mesh.faceErase(g);
    }
}

void PlaneCut::planeEraseFlaps(Mesh& mesh, PlaneHoles& holes, const vec3& normal) {
    const dvec3 up(normal);
    auto placed = [&](int v) { return holes.isPlaced(holes.rootOf(v)); };
    auto isFlap = [&](int f) {
        if (!mesh.activeFace(f)) return false;
        const MeshFace& F = mesh.faces[std::size_t(f)];
        bool open = false;
        for (int k = 0; k < 3; ++k) {
            if (!placed(F.v[k])) return false;
            open = open || !mesh.activeFace(F.f[k]);
        }
        return open && dot(unitNormal(at(mesh, F.v[0]), at(mesh, F.v[1]), at(mesh, F.v[2])), up) < 0;
    };
    std::vector<int> queue;
    for (int f = 0; f < mesh.faceCount(); ++f)
        if (isFlap(f)) queue.push_back(f);
    std::vector<std::pair<int, int>> copies;
    for (std::size_t i = 0; i < queue.size(); ++i) {
        const int f = queue[i];
        if (!isFlap(f)) continue;
        const MeshFace F = mesh.faces[std::size_t(f)];
        copies.clear();
        mesh.faceErase(f, &copies);
        for (const auto& c : copies) {
            const std::size_t n = std::size_t(c.first) + 1;
            if (holes.root.size() < n) {
                for (std::size_t v = holes.root.size(); v < n; ++v) holes.root.push_back(int(v));
                holes.placed.resize(n, 0);
                holes.stackAt.resize(n, -1);
            }
            const int r = holes.rootOf(c.second);
            holes.root[std::size_t(c.first)] = r;
            holes.placed[std::size_t(c.first)] = holes.placed[std::size_t(r)];
        }
        for (const int g : F.f)
            if (isFlap(g)) queue.push_back(g);
    }
}

void PlaneCut::planeDropUnusedVertices(Mesh& mesh) {
    std::vector<char> used(mesh.vertices.size(), 0);
    for (int f = 0; f < mesh.faceCount(); ++f)
        if (mesh.faces[f].isActive())
            for (const int v : mesh.faces[f].v) used[std::size_t(v)] = 1;
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        MeshVertex& r = mesh.vertices[v];
        if (used[std::size_t(v)] || !r.isActive()) continue;
        r.flags = std::uint8_t(r.flags & ~MeshVertex::ActiveBit);
        r.face = -1;
        mesh.needsCompaction = 1;
    }
}

void Mesh::subPlane(const vec3& point, const vec3& normal, const pbr& material) {
    topologyEdited();
    const int firstMade = vertexCount();
    PlaneCut::PlaneHoles holes;
    PlaneCut::planeClip(*this, point, normal, &holes);
    PlaneCut::planeEraseFlatParts(*this, holes);
    PlaneCut::planeEraseFlaps(*this, holes, normal);
    calculateNormals(2);
    // Every border the erase opened: walks start at the open edges that
    // leave a cut vertex or a vertex on the plane that became a border
    // vertex. A walk goes round the fans of the vertices it passes, so a
    // border that touches itself at a vertex (a plane tangent at a saddle)
    // comes back to that vertex, or to the copy the erase made of it, once
    // per loop; it is split there into simple loops, each capped on its own.
    const int nF = faceCount();
    std::vector<char> start(vertices.size(), 0), walked(3 * std::size_t(nF), 0);
    for (const int v : holes.starts) start[std::size_t(v)] = 1;
    std::vector<int> chain;
    bool merged = false;
    for (int f = 0; f < nF; ++f) {
        if (!faces[f].isActive()) continue;
        for (int k = 0; k < 3; ++k) {
            const int h = 3 * f + k;
            if (walked[std::size_t(h)] || link(faces[f], k) >= 0) continue;
            const int s = edgeStart(*this, h);
            if (std::size_t(s) >= start.size() || !start[std::size_t(holes.rootOf(s))]) continue;
            if (borderChain(*this, h, walked, chain))
                merged = PlaneCut::planeCapChain(*this, chain, holes, normal, material) || merged;
        }
    }
    // A cap over a loop whose points crowd together, or a cut through a
    // piece a few float steps wide, may leave a face too small to carry a
    // normal (the next whole-mesh normal pass would give it none): every
    // such face the subtraction made is turned or collapsed away.
    for (int pass = 0, removed = 1; removed && pass < 4; ++pass) {
        removed = 0;
        for (int f = 0; f < faceCount(); ++f) {
            const MeshFace& F = faces[f];
            const bool made = f >= nF || F.v[0] >= firstMade || F.v[1] >= firstMade || F.v[2] >= firstMade;
            if (made && F.isActive() && noNormal(at(*this, F.v[0]), at(*this, F.v[1]), at(*this, F.v[2])))
                removed += removeSliver(*this, f);
        }
    }
    PlaneCut::planeDropUnusedVertices(*this);
    removeInactive(false);
    // A merged vertex whose loops were not both capped has two fans: each
    // gets its own copy again.
    if (merged) splitCoincidentVertices();
    // The caps carry the plane's normal and their joins are creased: the
    // face and corner normals are formed again from the corners.
    calculateNormals(2);
}

bool PlaneCut::planeCapChain(Mesh& mesh, const std::vector<int>& chain, PlaneHoles& holes, const vec3& normal,
                             const pbr& material) {
    // Each return to a vertex already on the stack closes the loop from
    // there, capped or not. A return to another vertex of the same identity
    // (a copy the erase made, or a cut vertex at the same point) closes it
    // only when its cap merges that vertex into the loop's first, so that
    // the caps join the fans into one; else the walk goes on past it, and
    // the vertices stay apart.
    std::vector<int> stack, loop;
    bool merged = false;
    for (const int e : chain) {
        const int v = edgeStart(mesh, e), r = holes.rootOf(v);
        const std::ptrdiff_t seen = std::size_t(r) < holes.stackAt.size() ? holes.stackAt[std::size_t(r)] : -1;
        if (seen >= 0) {
            const std::size_t from = std::size_t(seen);
            loop.assign(stack.begin() + std::ptrdiff_t(from), stack.end());
            const int s = edgeStart(mesh, loop.front());
            const bool capped = planeCapLoop(mesh, loop, holes, normal, material, v);
            if (capped || v == s) {
                stack.resize(from);
                for (const int x : loop) holes.stackAt[std::size_t(holes.rootOf(edgeStart(mesh, x)))] = -1;
                merged = merged || v != s;
            }
        }
        if (std::size_t(r) < holes.stackAt.size()) holes.stackAt[std::size_t(r)] = std::ptrdiff_t(stack.size());
        stack.push_back(e);
    }
    for (const int x : stack) {
        const int r = holes.rootOf(edgeStart(mesh, x));
        if (std::size_t(r) < holes.stackAt.size()) holes.stackAt[std::size_t(r)] = -1;
    }
    if (!stack.empty()) planeCapLoop(mesh, stack, holes, normal, material, edgeEnd(mesh, stack.back()));
    return merged;
}

bool PlaneCut::planeCapLoop(Mesh& mesh, const std::vector<int>& border, const PlaneHoles& holes, const vec3& normal,
                            const pbr& material, int closing) {
    // Open edge i runs from loop vertex i to loop vertex i + 1; the last
    // one ends at closing, which stands for loop vertex 0.
    const int L = int(border.size());
    if (L < 2) return false;
    std::vector<int> loop(border.size());
    for (int i = 0; i < L; ++i) loop[std::size_t(i)] = edgeStart(mesh, border[std::size_t(i)]);
    // A border loop through a vertex the cut did not put on the plane
    // leaves the plane: it is not a hole of the clip.
    for (const int u : loop)
        if (!holes.isPlaced(holes.rootOf(u))) return false;
    // The fans of the two vertices become one fan of the first: they must
    // share no face and no neighbour but the one a loop of two edges runs
    // to, whose two edges are then joined.
    const bool merge = closing != loop[0];
    if (merge &&
        (holes.rootOf(closing) != holes.rootOf(loop[0]) ||
         !mergeKeepsFans(mesh, loop[0], border.front() / 3, closing, border.back() / 3, L == 2 ? loop[1] : -1)))
        return false;
    // Two edges to and fro between two points enclose nothing: they are
    // joined to each other.
    if (L == 2) {
        if (merge) mergeFan(mesh, border.back(), loop[0]);
        return joinOpenEdgePair(mesh, border[0], border[1]);
    }

    // The frame maps the plane onto z = 0 with the loop's first vertex at
    // the origin.
    const mat4 frame = mat4::Rotation(normal, vec3(0, 0, 1)) * mat4::Translation(-mesh.vertices[loop[0]].position);
    SimplePolygon outline;
    outline.points.reserve(loop.size());
    for (const int u : loop) {
        const vec3 q = frame.transformProject(mesh.vertices[u].position);
        outline.points.push_back(vec2(q.x, q.y));
    }
    // The mesher's triangulation of the outline; where it does not keep
    // to the outline's own edges (points crowding within rounding of one
    // another make it add or drop points), the outline clipped ear by ear.
    const mat4 back = frame.inverse();
    const MeshJoins joined{mesh, loop, merge ? closing : -1};
    LoopCap c;
    c.cap = Mesh::FromSimplePolygon(outline, false, 0, 0);
    CapFit fit = fitCap(c, border, joined, back);
    if (fit == CapFit::Off) {
        c.cap = clippedEars(outline.points);
        fit = fitCap(c, border, joined, back);
    }
    // A cap that would lay a face or an edge onto the mesh's gives way to
    // another triangulation of the loop: its edges over the mesh's turned
    // where the quadrilateral round them allows, else ears clipped around
    // those edges from a few starts round the loop (the clipping refuses
    // long loops, so the cost stays bounded).
    if (fit == CapFit::OnMeshEdges) {
        if (turnCapOffMeshEdges(c.cap, c.at, joined)) fit = fitCap(c, border, joined, back);
        for (int s = 0; fit != CapFit::Fits && s < kEarStarts; ++s) {
            c.cap = clippedEars(outline.points, &joined, s * L / kEarStarts);
            fit = fitCap(c, border, joined, back);
        }
    }
    if (fit != CapFit::Fits) return false;
    const Mesh& cap = c.cap;
    const std::vector<vec3>& at = c.at;
    const std::vector<CapJoin>& joins = c.joins;
    const std::vector<int>& twin = c.twin;
    const bool flip = c.flip;
    if (merge) mergeFan(mesh, border.back(), loop[0]);

    const double len = std::sqrt(double(dot(normal, normal)));
    const vec3 n = normal * float((flip ? -1.0 : 1.0) / len);
    std::vector<int> capFace(cap.faceCount(), -1);
    int next = mesh.faceCount();
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
            if (m < 0) m = mesh.vertexAdd(MeshVertex(at[std::size_t(C.v[j])], capFace[cf]));
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
        mesh.faceAdd(N);
    }
    // Link the joined edges both ways, sharp on both sides.
    for (const CapJoin& j : joins) {
        const int g = capFace[j.capFace];
        const int e = flip ? 2 - j.capEdge : j.capEdge;
        mesh.faces[g].f[e] = j.meshFace;
        mesh.faces[g].setSharp(e, true);
        mesh.faces[j.meshFace].f[j.meshEdge] = g;
        mesh.faces[j.meshFace].setSharp(j.meshEdge, true);
    }
    std::vector<std::pair<int, int>> pairs;
    for (int cf = 0; cf < cap.faceCount(); ++cf)
        if (twin[std::size_t(cf)] >= 0) pairs.emplace_back(capFace[cf], twin[std::size_t(cf)]);
    removeTwins(mesh, pairs);
    for (const int u : loop) {
        if (!mesh.vertices[u].isActive()) continue;
        mesh.vertices[u].flags = std::uint8_t(mesh.vertices[u].flags | MeshVertex::SharpBit);
        mesh.vertexUpdate(u);
    }
    return true;
}

}  // namespace qel
