// Local edits round one edge of qel::Mesh: flip, split (midpoint, at a
// point, with the opposite vertices, cut form) and collapse.
//
// Naming: the edge (f, k) runs from b1 = F.v[(k+1)%3] to b2 = F.v[(k+2)%3]
// in F, a = F.v[k] is F's opposite corner; g is the neighbour across the
// edge, j its edge back to f, c = G.v[j]. The four wing edges are F's k2
// (a-b1) and k1 (b2-a) and g's j1 (b1-c) and j2 (c-b2).
//
// Records are appended or deactivated in place, so every index held
// elsewhere stays valid until removeInactive. Neighbour links are rewritten
// by edge (the pair of vertices it joins), never by "the first link equal
// to", so two faces that share more than one edge stay consistent. Scratch
// lists are kept per thread and reused: an edit allocates nothing once they
// have grown to the largest valence met.

#include <cmath>
#include <vector>

#include "mesh/mesh.h"

namespace qel {

namespace {


// x + (y - x) * t in single precision, truncated toward zero and clamped to
// [lo, hi]; a NaN gives lo.
long lerpChannel(long x, long y, float t, long lo, long hi) {
    const float r = float(x) + (float(y) - float(x)) * t;
    if (!(r > float(lo))) return lo;
    if (r >= float(hi)) return hi;
    return long(r);
}

// Midpoint mix: unsigned channels halved rounding down, signed channels
// halved toward zero and clamped.
pbr mixMid(const pbr& x, const pbr& y) {
    pbr r;
    for (int i = 0; i < 4; ++i) {
        r.colour[i] = std::uint16_t((unsigned(x.colour[i]) + unsigned(y.colour[i])) >> 1);
        r.light[i] = std::uint16_t((unsigned(x.light[i]) + unsigned(y.light[i])) >> 1);
    }
    r.roughness = pbr::clampSigned((long(x.roughness) + long(y.roughness)) / 2);
    r.metalness = pbr::clampSigned((long(x.metalness) + long(y.metalness)) / 2);
    return r;
}

// Interpolation from x to y at t (t may lie outside [0, 1]).
pbr mixAt(const pbr& x, const pbr& y, float t) {
    pbr r;
    for (int i = 0; i < 4; ++i) {
        r.colour[i] = std::uint16_t(lerpChannel(x.colour[i], y.colour[i], t, 0, 65535));
        r.light[i] = std::uint16_t(lerpChannel(x.light[i], y.light[i], t, 0, 65535));
    }
    r.roughness = std::int16_t(lerpChannel(x.roughness, y.roughness, t, pbr::SignedMin, pbr::SignedMax));
    r.metalness = std::int16_t(lerpChannel(x.metalness, y.metalness, t, pbr::SignedMin, pbr::SignedMax));
    return r;
}

// The material of a new vertex on one side of the edge, from b1's corner
// towards b2's.
pbr mixSide(const pbr& fromB1, const pbr& toB2, bool midpoint, float t) {
    return midpoint ? mixMid(fromB1, toB2) : mixAt(fromB1, toB2, t);
}

// Scratch lists of the collapse: rings, faces and crossings of both ends.
struct CollapseScratch {
    std::vector<int> ring1, faces1, cross1;
    std::vector<int> ring2, faces2, cross2;
};
CollapseScratch& collapseScratch() {
    static thread_local CollapseScratch s;
    return s;
}

bool contains(const std::vector<int>& list, int x) {
    for (const int y : list)
        if (y == x) return true;
    return false;
}

constexpr std::uint8_t kActive = MeshVertex::ActiveBit;
constexpr std::uint8_t kSharp = MeshVertex::SharpBit;
constexpr std::uint8_t kCorner = MeshVertex::CornerBit;

}  // namespace

// ---------------------------------------------------------------------------
// Shared helpers

// The steps of the edge edits of a mesh: the two sides of an edge, and the
// splits and the collapse built on them.
class EdgeEdit {
public:
    // The two sides of an edge (f, k) as the edits name them.
    struct EdgeSides {
        int f, k, k1, k2;  // the face, the edge and the next two corners
        int a, b1, b2;     // F.v[k], F.v[k1], F.v[k2]
        int g, j, j1, j2;  // the neighbour (-1: open) and its edge back to f
        int c;             // g.v[j], -1 for an open edge
    };
    // Fills s for an active f and k in 0..2; false when the arguments are
    // invalid or the neighbour does not link back running the edge b2 -> b1.
    // A link to an inactive face counts as open.
    static bool edgeSides(const Mesh& mesh, int f, int k, EdgeSides& s);
    // What a split reports beyond the new vertex.
    struct EdgeSplitOut {
        int a = -1;        // the vertex opposite the edge in f
        int c = -1;        // the vertex opposite it in g, -1 for an open edge
        int g = -1;        // the neighbour, -1 for an open edge
        int n2 = -1;       // the new face on g's side
        int gCorner = -1;  // nv's corner in g
    };
    static int edgeSplitAt(Mesh& mesh, int f, int k, const vec3* p, bool cut, EdgeSplitOut& out);
    static int edgeSplitOpen(Mesh& mesh, const EdgeSides& s, const vec3* p, bool cut);
    static int edgeSplitInterior(Mesh& mesh, const EdgeSides& s, const vec3* p, bool cut, EdgeSplitOut& out);
    // Position of the new vertex and its interpolation parameter (t < 0:
    // the midpoint forms).
    static vec3 splitPoint(const Mesh& mesh, const EdgeSides& s, const vec3* p, float& t);
    // Tests the refusals of edgeCollapseFK; s1 and s2 receive the sharp
    // counts of b1 and b2.
    static bool collapseAllowed(const Mesh& mesh, const EdgeSides& s, int& s1, int& s2);
    static void collapseMergeWings(Mesh& mesh, int f, int fa, int fb, int b2, int a, bool sharp);
};

bool EdgeEdit::edgeSides(const Mesh& mesh, int f, int k, EdgeSides& s) {
    if (!mesh.activeFace(f) || k < 0 || k > 2) return false;
    const MeshFace& F = mesh.faces[f];
    s.f = f;
    s.k = k;
    s.k1 = nextK(k);
    s.k2 = prevK(k);
    s.a = F.v[k];
    s.b1 = F.v[s.k1];
    s.b2 = F.v[s.k2];
    s.g = mesh.link(F, k);
    s.j = s.j1 = s.j2 = s.c = -1;
    if (!mesh.activeVertex(s.a) || !mesh.activeVertex(s.b1) || !mesh.activeVertex(s.b2)) return false;
    if (s.a == s.b1 || s.a == s.b2 || s.b1 == s.b2) return false;
    if (s.g < 0) return true;
    // A neighbour across a second edge of f as well (two faces glued along
    // more than one edge) cannot be edited edge by edge.
    if (s.g == f || F.f[s.k1] == s.g || F.f[s.k2] == s.g) return false;
    const MeshFace& G = mesh.faces[s.g];
    for (int j = 0; j < 3; ++j) {
        if (G.f[j] != f) continue;
        const int j1 = nextK(j), j2 = prevK(j);
        if (G.v[j1] != s.b2 || G.v[j2] != s.b1) continue;
        s.j = j;
        s.j1 = j1;
        s.j2 = j2;
        s.c = G.v[j];
        return mesh.activeVertex(s.c);
    }
    return false;
}

int Mesh::relinkEdge(int x, int from, int to, int u, int w) {
    topologyEdited();
    if (!validFace(x)) return -1;
    // An edit: corners, links and sharp marks may change round it.
    bufferState.markFeatures();
    MeshFace& X = faces[x];
    for (int e = 0; e < 3; ++e) {
        if (X.f[e] != from) continue;
        const int p = X.v[nextK(e)], q = X.v[prevK(e)];
        if ((p == u && q == w) || (p == w && q == u)) {
            X.f[e] = to;
            return e;
        }
    }
    return -1;
}

// ---------------------------------------------------------------------------
// Flip

bool Mesh::edgeFlipFK(int f, int k) {
    topologyEdited();
    EdgeEdit::EdgeSides s;
    if (!EdgeEdit::edgeSides(*this, f, k, s) || s.g < 0) return false;
    MeshFace& F = faces[f];
    MeshFace& G = faces[s.g];
    if (F.isSharp(k) || G.isSharp(s.j)) return false;
    // The new diagonal a-c must not exist yet.
    int ef = -1, ek = -1;
    if (s.a == s.c || findEdge(s.a, s.c, ef, ek)) return false;
    bufferState.markFeatures();

    const int fk1 = link(F, s.k1), fk2 = link(F, s.k2);
    const int gj1 = link(G, s.j1), gj2 = link(G, s.j2);
    const bool fk1Bounded = bounded(F, s.k1), fk2Bounded = bounded(F, s.k2);
    const bool gj1Bounded = bounded(G, s.j1), gj2Bounded = bounded(G, s.j2);
    const pbr ma = pbr::Clamped(F.material[s.k]), mb1 = pbr::Clamped(F.material[s.k1]);
    const pbr mc = pbr::Clamped(G.material[s.j]), mb2 = pbr::Clamped(G.material[s.j1]);

    const vec3 zero(0, 0, 0);
    F = MeshFace(s.b1, s.c, s.a, s.g, fk2, gj1, false, fk2Bounded, gj1Bounded);
    F.material[0] = mb1;
    F.material[1] = mc;
    F.material[2] = ma;
    G = MeshFace(s.b2, s.a, s.c, f, gj2, fk1, false, gj2Bounded, fk1Bounded);
    G.material[0] = mb2;
    G.material[1] = ma;
    G.material[2] = mc;
    F.normal = G.normal = zero;  // the constructor leaves the corner normals zero

    relinkEdge(fk1, f, s.g, s.b2, s.a);
    relinkEdge(gj1, s.g, f, s.b1, s.c);
    vertices[s.b1].face = f;
    vertices[s.b2].face = s.g;
    vertexUpdate(s.a);
    vertexUpdate(s.b1);
    vertexUpdate(s.b2);
    vertexUpdate(s.c);
    return true;
}

bool Mesh::edgeFlipVV(int a, int b) {
    int f = -1, k = -1;
    return findEdge(a, b, f, k) && edgeFlipFK(f, k);
}

// ---------------------------------------------------------------------------
// Split

vec3 EdgeEdit::splitPoint(const Mesh& mesh, const EdgeSides& s, const vec3* p, float& t) {
    const vec3 p1 = mesh.vertices[s.b1].position;
    const vec3 p2 = mesh.vertices[s.b2].position;
    t = 0.5f;
    if (!p) return (p1 + p2) * 0.5f;
    // A zero-length edge has no direction: the new corners take b1's
    // material.
    const double len2 = length2(p2 - p1);
    t = len2 > 0.0 ? float(std::sqrt(length2(*p - p1) / len2)) : 0.0f;
    return *p;
}

int EdgeEdit::edgeSplitOpen(Mesh& mesh, const EdgeSides& s, const vec3* p, bool cut) {
    float t = 0.0f;
    const vec3 pos = splitPoint(mesh, s, p, t);
    MeshFace& F = mesh.faces[s.f];
    const int fk2 = mesh.link(F, s.k2);
    const bool fk2Bounded = mesh.bounded(F, s.k2);
    const pbr m = mixSide(F.material[s.k1], F.material[s.k2], p == nullptr, t);

    const std::uint8_t flags = std::uint8_t(kActive | kSharp | (cut ? kCorner : 0));
    const int nv = mesh.vertexAdd(MeshVertex(pos, s.f, flags));
    MeshFace N(s.a, s.b1, nv, -1, s.f, fk2, true, cut, fk2Bounded);
    N.material[0] = pbr::Clamped(F.material[s.k]);
    N.material[1] = pbr::Clamped(F.material[s.k1]);
    N.material[2] = m;
    N.normal = F.normal;
    const int n = mesh.faceAdd(N);

    F.v[s.k1] = nv;
    F.material[s.k1] = m;
    F.f[s.k2] = n;
    F.setSharp(s.k2, cut);
    mesh.vertices[s.b1].face = n;
    mesh.relinkEdge(fk2, s.f, n, s.a, s.b1);
    // The cut's sharp edge a-nv makes a a sharp vertex.
    if (cut) mesh.vertices[s.a].flags = std::uint8_t(mesh.vertices[s.a].flags | kSharp);
    mesh.vertexUpdate(s.a);
    mesh.vertexUpdate(s.b1);
    mesh.vertexUpdate(nv);
    return nv;
}

int EdgeEdit::edgeSplitInterior(Mesh& mesh, const EdgeSides& s, const vec3* p, bool cut, EdgeSplitOut& out) {
    float t = 0.0f;
    const vec3 pos = splitPoint(mesh, s, p, t);
    MeshFace& F = mesh.faces[s.f];
    MeshFace& G = mesh.faces[s.g];
    const bool edgeSharp = F.isSharp(s.k);
    const int fk2 = mesh.link(F, s.k2), gj1 = mesh.link(G, s.j1);
    const bool fk2Bounded = mesh.bounded(F, s.k2), gj1Bounded = mesh.bounded(G, s.j1);
    const pbr mF = mixSide(F.material[s.k1], F.material[s.k2], p == nullptr, t);
    const pbr mG = mixSide(G.material[s.j2], G.material[s.j1], p == nullptr, t);

    std::uint8_t flags = std::uint8_t(kActive | (edgeSharp ? kSharp : 0));
    if (cut) flags = std::uint8_t(kActive | kSharp | (edgeSharp ? kCorner : 0));
    const int nv = mesh.vertexAdd(MeshVertex(pos, s.f, flags));
    const int n1 = mesh.faceCount(), n2 = n1 + 1;
    MeshFace N1(s.a, s.b1, nv, n2, s.f, fk2, edgeSharp, cut, fk2Bounded);
    N1.material[0] = pbr::Clamped(F.material[s.k]);
    N1.material[1] = pbr::Clamped(F.material[s.k1]);
    N1.material[2] = mF;
    N1.normal = F.normal;
    MeshFace N2(s.c, nv, s.b1, n1, gj1, s.g, G.isSharp(s.j), gj1Bounded, false);
    N2.material[0] = pbr::Clamped(G.material[s.j]);
    N2.material[1] = mG;
    N2.material[2] = pbr::Clamped(G.material[s.j2]);
    N2.normal = G.normal;
    mesh.faceAdd(N1);
    mesh.faceAdd(N2);

    F.v[s.k1] = nv;
    F.material[s.k1] = mF;
    F.f[s.k2] = n1;
    F.setSharp(s.k2, cut);
    G.v[s.j2] = nv;
    G.material[s.j2] = mG;
    G.f[s.j1] = n2;
    G.setSharp(s.j1, false);
    mesh.vertices[s.b1].face = n1;
    mesh.relinkEdge(fk2, s.f, n1, s.a, s.b1);
    mesh.relinkEdge(gj1, s.g, n2, s.b1, s.c);
    if (cut) mesh.vertices[s.a].flags = std::uint8_t(mesh.vertices[s.a].flags | kSharp);
    mesh.vertexUpdate(s.a);
    mesh.vertexUpdate(s.b1);
    mesh.vertexUpdate(nv);
    mesh.vertexUpdate(s.c);

    out.g = s.g;
    out.n2 = n2;
    out.gCorner = s.j2;
    return nv;
}

int EdgeEdit::edgeSplitAt(Mesh& mesh, int f, int k, const vec3* p, bool cut, EdgeSplitOut& out) {
    mesh.topologyEdited();
    EdgeEdit::EdgeSides s;
    if (!edgeSides(mesh, f, k, s)) return -1;
    out.a = s.a;
    out.c = s.c;
    if (s.g < 0) return edgeSplitOpen(mesh, s, p, cut);
    return edgeSplitInterior(mesh, s, p, cut, out);
}

int Mesh::edgeSplitFK(int f, int k) {
    EdgeEdit::EdgeSplitOut out;
    return EdgeEdit::edgeSplitAt(*this, f, k, nullptr, false, out);
}

int Mesh::edgeSplitFK(int f, int k, const vec3& p) {
    EdgeEdit::EdgeSplitOut out;
    return EdgeEdit::edgeSplitAt(*this, f, k, &p, false, out);
}

int Mesh::edgeSplitFK(int f, int k, int& a, int& c) {
    EdgeEdit::EdgeSplitOut out;
    const int nv = EdgeEdit::edgeSplitAt(*this, f, k, nullptr, false, out);
    a = nv >= 0 ? out.a : -1;
    c = nv >= 0 ? out.c : -1;
    return nv;
}

int Mesh::edgeSplitFK(int f, int k, const vec3& p, std::vector<int>& faceList, std::vector<int>& corners,
                      std::vector<int>& verts) {
    faceList.clear();
    corners.clear();
    verts.clear();
    EdgeEdit::EdgeSplitOut out;
    const int nv = EdgeEdit::edgeSplitAt(*this, f, k, &p, true, out);
    if (nv >= 0 && out.g >= 0) {
        faceList.push_back(out.g);
        faceList.push_back(out.n2);
        corners.push_back(out.gCorner);
        corners.push_back(faces[out.n2].corner(nv));
        verts.push_back(out.c);
    }
    return nv;
}

int Mesh::edgeSplitVV(int a, int b) {
    int f = -1, k = -1;
    return findEdge(a, b, f, k) ? edgeSplitFK(f, k) : -1;
}

int Mesh::edgeSplitVV(int a, int b, const vec3& p) {
    int f = -1, k = -1;
    return findEdge(a, b, f, k) ? edgeSplitFK(f, k, p) : -1;
}

// ---------------------------------------------------------------------------
// Collapse

bool EdgeEdit::collapseAllowed(const Mesh& mesh, const EdgeSides& s, int& s1, int& s2) {
    const MeshFace& F = mesh.faces[s.f];
    const MeshFace& G = mesh.faces[s.g];
    const MeshVertex& r1 = mesh.vertices[s.b1];
    const MeshVertex& r2 = mesh.vertices[s.b2];
    if (s.a == s.c) return false;
    // A pocket: each pair of wings is one face (e.g. a tetrahedron).
    if (mesh.link(F, s.k1) == mesh.link(G, s.j2) && mesh.link(F, s.k2) == mesh.link(G, s.j1)) return false;
    if (r1.isCorner() && r2.isCorner()) return false;
    const bool edgeSharp = F.isSharp(s.k);
    if (r1.isSharp() != edgeSharp && r2.isSharp() != edgeSharp) return false;
    if (r1.isBorder() && r2.isBorder()) return false;

    CollapseScratch& w = collapseScratch();
    mesh.findNeighbours(s.b1, w.ring1, w.faces1, w.cross1);
    mesh.findNeighbours(s.b2, w.ring2, w.faces2, w.cross2);
    // Sharp count: the sharp or open edges of a crease vertex, -1 otherwise.
    s1 = r1.isSharp() && !r1.isCorner() ? int(w.cross1.size()) : -1;
    s2 = r2.isSharp() && !r2.isCorner() ? int(w.cross2.size()) : -1;
    const bool move1 = !r1.isCorner() && s1 < 3;
    const bool move2 = !r2.isCorner() && s2 < 3;
    if (!move1 && !move2) return false;

    // Link condition: the two rings share only a and c.
    for (const int x : w.ring1) {
        if (x == s.b2 || x == s.a || x == s.c) continue;
        if (contains(w.ring2, x)) return false;
    }
    return true;
}

void EdgeEdit::collapseMergeWings(Mesh& mesh, int f, int fa, int fb, int b2, int a, bool sharp) {
    if (fa >= 0) {
        const int e = mesh.relinkEdge(fa, f, fb, b2, a);
        if (e >= 0) mesh.faces[fa].setSharp(e, sharp);
    }
    if (fb >= 0) {
        const int e = mesh.relinkEdge(fb, f, fa, b2, a);
        if (e >= 0) mesh.faces[fb].setSharp(e, sharp);
    }
}

bool Mesh::edgeCollapseFK(int f, int k) {
    topologyEdited();
    EdgeEdit::EdgeSides s;
    if (!EdgeEdit::edgeSides(*this, f, k, s) || s.g < 0) return false;
    int s1 = -1, s2 = -1;
    if (!EdgeEdit::collapseAllowed(*this, s, s1, s2)) return false;
    bufferState.markFeatures();

    MeshFace& F = faces[f];
    MeshFace& G = faces[s.g];
    const int fa = link(F, s.k1), fb = link(F, s.k2);
    const int ga = link(G, s.j1), gb = link(G, s.j2);
    const bool fSharp = F.isSharp(s.k1) || F.isSharp(s.k2) || fa < 0 || fb < 0;
    const bool gSharp = G.isSharp(s.j1) || G.isSharp(s.j2) || ga < 0 || gb < 0;
    const MeshVertex r1 = vertices[s.b1];
    MeshVertex& r2 = vertices[s.b2];

    // b1's faces take b2 (the list was gathered by collapseAllowed).
    for (const int x : collapseScratch().faces1) {
        if (!validFace(x)) continue;
        MeshFace& X = faces[x];
        const int c = X.corner(s.b1);
        if (c >= 0) X.v[c] = s.b2;
    }

    // A corner, or the end with more sharp edges, stays where it is.
    positionsEdited();
    if (r1.isCorner())
        r2.position = r1.position;
    else if (!r2.isCorner()) {
        if (s2 < s1)
            r2.position = r1.position;
        else if (s2 == s1)
            r2.position = (r1.position + r2.position) * 0.5f;
    }

    F.flags = std::uint8_t(F.flags & ~MeshFace::ActiveBit);
    G.flags = std::uint8_t(G.flags & ~MeshFace::ActiveBit);
    vertices[s.b1].flags = std::uint8_t(vertices[s.b1].flags & ~kActive);

    const bool sharp = r1.isSharp() || r2.isSharp();
    const bool corner = r1.isCorner() || r2.isCorner();
    r2.flags = std::uint8_t(r2.flags & ~(kSharp | kCorner));
    if (sharp || corner) r2.flags = std::uint8_t(r2.flags | kSharp);
    if (corner) r2.flags = std::uint8_t(r2.flags | kCorner);

    EdgeEdit::collapseMergeWings(*this, f, fa, fb, s.b2, s.a, fSharp);
    EdgeEdit::collapseMergeWings(*this, s.g, ga, gb, s.b2, s.c, gSharp);

    r2.face = fa >= 0 ? fa : fb;
    vertices[s.a].face = fa >= 0 ? fa : fb;
    vertices[s.c].face = ga >= 0 ? ga : gb;
    vertexUpdate(s.b2);
    vertexUpdate(s.a);
    vertexUpdate(s.c);
    vertexSmoothMaterials(s.b2, 255);
    needsCompaction = 1;
    return true;
}

bool Mesh::edgeCollapseVV(int a, int b) {
    int f = -1, k = -1;
    return findEdge(a, b, f, k) && edgeCollapseFK(f, k);
}

}  // namespace qel
