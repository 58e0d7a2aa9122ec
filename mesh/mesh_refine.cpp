// Whole-mesh passes of qel::Mesh that mark sharp edges by the angle between
// face normals, relax vertex positions, and improve or densify the
// triangulation with the local edits: angle-driven flips, splits of obtuse or
// long edges, collapses of short edges, the combined refinement loop and the
// planar refinement.
//
// Every pass is a single sweep over the records in index order. Relaxation
// gathers all targets before anything moves, so that one sweep's moves do
// not feed the same sweep. Ring lists are reused across the sweep.

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "mesh/mesh.h"

namespace qel {

namespace {

constexpr double Pi = 3.14159265358979323846;


// The cosine threshold of the angle rule, rounded to float as the rule
// compares it.
float angleThreshold(float angleDeg) { return float(std::cos(double(angleDeg) * Pi / 180.0)); }

// The corners of the quadrilateral round the edge (i, k): A is i's corner k,
// B and C the ends of the shared edge, D the neighbour's opposite corner.
struct Quad {
    vec3 A, B, C, D;
};

// Fills q for the edge (i, k) of an active face whose link j is an active
// face that links back; false otherwise.
bool quadAt(const Mesh& m, int i, int k, int j, Quad& q) {
    if (!m.activeFace(j)) return false;
    const MeshFace& F = m.faces[i];
    const MeshFace& G = m.faces[j];
    const int back = G.edgeTo(i);
    if (back < 0) return false;
    const int corners[4] = {F.v[k], F.v[nextK(k)], F.v[prevK(k)], G.v[back]};
    for (const int c : corners)
        if (!m.validVertex(c)) return false;
    q.A = m.vertices[corners[0]].position;
    q.B = m.vertices[corners[1]].position;
    q.C = m.vertices[corners[2]].position;
    q.D = m.vertices[corners[3]].position;
    return true;
}

// Both triangles after the flip, (A, B, D) and (A, D, C), turn the same way
// as (A, B, C) about its own normal.
bool flipKeepsOrientation(const Quad& q) {
    const vec3 N = cross(q.B - q.A, q.C - q.A);
    return dot(cross(q.B - q.A, q.D - q.B), N) > 0.0 && dot(cross(q.C - q.D, q.A - q.C), N) > 0.0;
}

// The same test in the plane z = 0: only the z components of the cross
// products, N being +z.
bool flipKeepsOrientation2D(const Quad& q) {
    auto crossZ = [](const vec3& a, const vec3& b) { return double(a.x) * b.y - double(a.y) * b.x; };
    return crossZ(q.B - q.A, q.D - q.B) > 0.0 && crossZ(q.C - q.D, q.A - q.C) > 0.0;
}

// The largest angle of the quadrilateral A, B, D, C lies at A or D, which
// the current diagonal B-C does not split (a tie keeps the edge). With unit
// edge vectors, the dot of one edge with the next is minus the cosine of
// the angle between them: the larger, the wider the angle.
bool flipWidensAngles(const Quad& q) {
    const vec3 ab = normalize(q.B - q.A);
    const vec3 bd = normalize(q.D - q.B);
    const vec3 dc = normalize(q.C - q.D);
    const vec3 ca = normalize(q.A - q.C);
    const double atBC = std::max(dot(ab, bd), dot(dc, ca));
    const double atAD = std::max(dot(ca, ab), dot(dc, bd));
    return atBC < atAD;
}

// Vertex passes walk each ring from the vertex's stored face, which lies
// anywhere in the face list. The walks of vertices a few places ahead are
// started early so that their waits overlap: the stored face of the vertex
// 2 x PrefetchAhead places ahead is fetched (its corners and links, and its
// flags at the record's end), and so are the faces linked to the stored
// face of the vertex PrefetchAhead places ahead, which has arrived by then.
constexpr int PrefetchAhead = 8;
inline void prefetchFace(const Mesh& m, int f) {
    if (!m.validFace(f)) return;
    const MeshFace& F = m.faces[f];
    __builtin_prefetch(&F.v[0]);
    __builtin_prefetch(&F.flags);
}
inline int storedFace(const Mesh& m, int v) { return m.validVertex(v) ? m.vertices[v].face : -1; }
inline void prefetchRing(const Mesh& m, int v) {
    prefetchFace(m, storedFace(m, v + 2 * PrefetchAhead));
    const int f = storedFace(m, v + PrefetchAhead);
    if (!m.validFace(f)) return;
    for (const int g : m.faces[f].f) prefetchFace(m, g);
}

// The neighbours of face f and the positions of its corners, for a sweep
// that tests the quadrilaterals round f's edges a few faces later.
inline void prefetchQuads(const Mesh& m, int f) {
    if (!m.validFace(f)) return;
    const MeshFace& F = m.faces[f];
    for (int k = 0; k < 3; ++k) {
        prefetchFace(m, F.f[k]);
        if (m.validVertex(F.v[k])) __builtin_prefetch(&m.vertices[F.v[k]].position);
    }
}

// Squared edge lengths of F (edge k opposite corner k), in double.
void edgeLengths2(const Mesh& m, const MeshFace& F, double d[3]) {
    for (int k = 0; k < 3; ++k)
        d[k] = length2(m.vertices[F.v[nextK(k)]].position - m.vertices[F.v[prevK(k)]].position);
}

// The first index of the largest entry.
int firstMax(const double d[3]) {
    int k = 0;
    if (d[1] > d[k]) k = 1;
    if (d[2] > d[k]) k = 2;
    return k;
}

double minOf(const double d[3]) { return std::min(d[0], std::min(d[1], d[2])); }

// An active face whose corners are all vertex indices in range.
bool usableFace(const Mesh& m, int i) {
    if (!m.activeFace(i)) return false;
    const MeshFace& F = m.faces[i];
    return m.validVertex(F.v[0]) && m.validVertex(F.v[1]) && m.validVertex(F.v[2]);
}

// One sweep of flips over the faces in index order (flips keep the face
// count; it is read again each step all the same): for each face, the first
// edge towards a higher face whose flip the criterion asks for is flipped
// (a refused flip included), and the sweep goes on with the next face. The
// 3D form skips sharp edges and tests the orientation about the face's own
// normal; the planar form leaves sharp edges to the flip's own refusal and
// tests it seen from +z.
void flipSweep(Mesh& m, bool planar) {
    for (int i = 0; i < m.faceCount(); ++i) {
        prefetchQuads(m, i + PrefetchAhead);
        if (!usableFace(m, i)) continue;
        for (int k = 0; k < 3; ++k) {
            const MeshFace& F = m.faces[i];
            const int j = F.f[k];
            if (j <= i || (!planar && F.isSharp(k))) continue;
            Quad q;
            if (!quadAt(m, i, k, j, q)) continue;
            const bool oriented = planar ? flipKeepsOrientation2D(q) : flipKeepsOrientation(q);
            if (oriented && flipWidensAngles(q)) {
                m.edgeFlipFK(i, k);
                break;
            }
        }
    }
}

// The corner of F with the smallest cosine (the first on ties) and that
// cosine: the unit vectors from the corner towards the two others, their
// dot product in double.
int widestCorner(const Mesh& m, const MeshFace& F, double& cosine) {
    int best = 0;
    cosine = std::numeric_limits<double>::infinity();
    for (int k = 0; k < 3; ++k) {
        const vec3 p = m.vertices[F.v[k]].position;
        const vec3 u = normalize(m.vertices[F.v[nextK(k)]].position - p);
        const vec3 w = normalize(m.vertices[F.v[prevK(k)]].position - p);
        const double c = dot(u, w);
        if (c < cosine) {
            cosine = c;
            best = k;
        }
    }
    return best;
}

// The two smallest squared distances from each vertex to its ring vertices,
// and the ring vertex at the smallest: the shortest other edge at either
// end of an edge a-b is then known without walking both rings. Entries are
// filled on first use and dropped round every collapse (the survivor moved
// and its ring changed, and so did the rings of its neighbours).
class RingNearest {
public:
    explicit RingNearest(const Mesh& m) : m_(m), entries_(static_cast<std::size_t>(m.vertexCount())) {}

    // The smallest squared distance from v to a ring vertex other than
    // `skip` (infinity when there is none).
    double excluding(int v, int skip) {
        Entry& e = entries_[std::size_t(v)];
        if (!e.known) fill(v, e);
        return e.nearest == skip ? e.second : e.first;
    }
    // Forgets v and its ring.
    void forgetAround(int v) {
        entries_[std::size_t(v)].known = false;
        m_.findNeighbours(v, ring_);
        for (const int w : ring_)
            if (m_.validVertex(w)) entries_[std::size_t(w)].known = false;
    }

private:
    struct Entry {
        double first = 0, second = 0;
        int nearest = -1;
        bool known = false;
    };
    // One walk round v. A ring vertex listed twice counts once: the second
    // smallest distance never belongs to the nearest vertex again.
    void fill(int v, Entry& e) {
        e.first = e.second = std::numeric_limits<double>::infinity();
        e.nearest = -1;
        m_.findNeighbours(v, ring_);
        const vec3 p = m_.vertices[v].position;
        for (const int w : ring_) {
            if (!m_.validVertex(w)) continue;
            const double d = length2(m_.vertices[w].position - p);
            if (d < e.first && w != e.nearest) {
                e.second = e.first;
                e.first = d;
                e.nearest = w;
            } else if (w != e.nearest && d < e.second) {
                e.second = d;
            }
        }
        e.known = true;
    }

    const Mesh& m_;
    std::vector<Entry> entries_;
    std::vector<int> ring_;
};

}  // namespace

// ---------------------------------------------------------------------------
// Sharp edges by angle

void Mesh::makeSharp(float angleDeg) {
    makeSmooth();
    if (faceCount() > 0) {
        const double c = angleThreshold(angleDeg);
        const int n = faceCount();
        for (int i = 0; i < n; ++i) {
            for (int k = 0; k < 3; ++k) {
                const int j = faces[i].f[k];
                if (j <= i || !activeFace(i) || !activeFace(j)) continue;
                edgeSharp(i, j, c > dot(faces[i].normal, faces[j].normal));
            }
        }
    }
    initializeVertices();
    calculateNormals(2);
}

void Mesh::sharpen(float angleDeg) {
    if (faceCount() > 0) {
        const double c = angleThreshold(angleDeg);
        const int n = faceCount();
        for (int i = 0; i < n; ++i) {
            for (int k = 0; k < 3; ++k) {
                const int j = faces[i].f[k];
                if (j <= i || !activeFace(i) || !activeFace(j)) continue;
                const MeshFace& F = faces[i];
                const MeshFace& G = faces[j];
                const int back = G.edgeTo(i);
                const bool already = F.isSharp(k) || (back >= 0 && G.isSharp(back));
                edgeSharp(i, j, already || c > dot(F.normal, G.normal));
            }
        }
    }
    initializeVertices();
    calculateNormals(2);
}

// ---------------------------------------------------------------------------
// Relaxation

void Mesh::relaxAll(bool moveSharp) {
    const int n = vertexCount();
    auto moves = [this, moveSharp](int v) {
        const MeshVertex& r = vertices[v];
        return r.isActive() && (moveSharp || !r.isSharp());
    };
    std::vector<vec3> target(static_cast<std::size_t>(n));
    for (int v = 0; v < n; ++v) {
        prefetchRing(*this, v);
        if (moves(v)) target[std::size_t(v)] = vertexRelaxPosition(v);
    }
    for (int v = 0; v < n; ++v)
        if (moves(v)) vertices[v].position = (vertices[v].position + target[std::size_t(v)]) * 0.5f;
    calculateNormals(2);
}

// ---------------------------------------------------------------------------
// Flips

void Mesh::refineFlip(int passes) {
    for (int pass = 0; pass < passes; ++pass) flipSweep(*this, false);
}

// ---------------------------------------------------------------------------
// Splits

void Mesh::refineSplit(int passes, float ratio) {
    const float ratio2 = ratio * ratio;
    for (int pass = 0; pass < passes; ++pass) {
        // The faces made by this pass's splits wait for the next pass.
        const int n = faceCount();
        for (int i = 0; i < n; ++i) {
            if (!usableFace(*this, i)) continue;
            const MeshFace& F = faces[i];
            double cosine = 0.0;
            const int wide = widestCorner(*this, F, cosine);
            if (cosine < -0.5) {
                edgeSplitFK(i, wide);
                continue;
            }
            double d[3];
            edgeLengths2(*this, F, d);
            const int longest = firstMax(d);
            if (d[longest] > double(ratio2) * minOf(d)) edgeSplitFK(i, longest);
        }
    }
}

// ---------------------------------------------------------------------------
// Collapses

void Mesh::refineCollapse(int passes, float ratio) {
    const double ratio2 = double(ratio * ratio);
    for (int pass = 0; pass < passes; ++pass) {
        RingNearest nearest(*this);
        for (int i = 0; i < faceCount(); ++i) {
            if (!usableFace(*this, i)) continue;
            for (int k = 0; k < 3; ++k) {
                const MeshFace& F = faces[i];
                if (F.f[k] <= i) continue;
                const int a = F.v[nextK(k)], b = F.v[prevK(k)];
                const double L2 = length2(vertices[a].position - vertices[b].position);
                const double m2 = std::min(nearest.excluding(a, b), nearest.excluding(b, a));
                if (m2 > ratio2 * L2 && edgeCollapseFK(i, k)) {
                    // b (the edge's far end) survives the collapse.
                    nearest.forgetAround(b);
                    break;
                }
            }
        }
        removeInactive(false);
    }
}

// ---------------------------------------------------------------------------
// The refinement loop and the planar refinement

void Mesh::refine(int count) {
    for (int c = 0; c < count; ++c) {
        refineSplit(1, 3.0f);
        relaxAll(true);
        refineFlip(1);
        refineCollapse(1, 3.0f);
        refineFlip(1);
        relaxAll(true);
    }
}

void Mesh::refine2D(int passes) {
    for (int pass = 0; pass < passes; ++pass) {
        const int n = faceCount();
        for (int i = 0; i < n; ++i) {
            if (!usableFace(*this, i)) continue;
            const MeshFace& F = faces[i];
            double d[3];
            edgeLengths2(*this, F, d);
            const int longest = firstMax(d);
            if (!(d[longest] > 9.0 * minOf(d))) continue;
            if (F.isSharp(longest) || !activeFace(F.f[longest])) continue;
            edgeSplitFK(i, longest);
        }
        smoothAll(true, true);
        flipSweep(*this, true);
        smoothAll(false, true);
    }
}

}  // namespace qel
