// The feature eraser of qel::Mesh: the sharp line of the picked patch that
// passes nearest to a point is made smooth, from the corner at one end to
// the corner at the other, or whole when it is a closed loop. Open borders
// stay what they are.

#include <vector>

#include "mesh/mesh.h"

namespace qel {

namespace {

// One step of a walk along a feature line: the vertex reached and the edge
// (face f, edge k) walked to reach it.
struct LineStep {
    int v, f, k;
};

// Squared distance from p to the segment a-b.
double segmentDistance2(const vec3& p, const vec3& a, const vec3& b) {
    const vec3 ab = b - a;
    const double t = dot(p - a, ab);
    if (t <= 0.0) return length2(p - a);
    const double l2 = length2(ab);
    if (t >= l2) return length2(p - b);
    return length2(p - a) - t * t / l2;
}

// The edge of G joining u and w, -1 when none.
int edgeJoining(const MeshFace& G, int u, int w) {
    for (int e = 0; e < 3; ++e) {
        const int p = G.v[nextK(e)], q = G.v[prevK(e)];
        if ((p == u && q == w) || (p == w && q == u)) return e;
    }
    return -1;
}

// Walks the feature line from `start`, reached from `from` along edge (f, k),
// appending every step, until a corner, the end of the line (the next step
// would go back along the edge just walked), or back at `start` (then true).
// A line cannot hold more steps than there are vertices, so a walk that
// takes more (stale corner marks, corrupt links) ends there.
bool walkLine(const Mesh& m, int start, int from, int f, int k, std::vector<LineStep>& line) {
    int v = start, previous = from;
    for (int step = 0; step < m.vertexCount(); ++step) {
        if (m.vertices[v].isCorner()) return false;
        const int at = v;
        const int w = m.findVNext(v, f, k);
        if (w < 0 || w == previous) return false;
        line.push_back({w, f, k});
        if (w == start) return true;
        previous = at;
    }
    return false;
}

}  // namespace

bool Mesh::select_(const vec3& point, bool clearFirst, int face) {
    topologyEdited();
    if (clearFirst) deselectAll();
    int picked = face;
    selectF_(point, clearFirst, picked);

    // The sharp or open edge of the patch nearest to the point; the first
    // one found wins unless a later one is strictly nearer.
    int ef = -1, ek = -1;
    double best = 0.0;
    for (const int f : selectedFaces) {
        const MeshFace& F = faces[f];
        for (int k = 0; k < 3; ++k) {
            if (!bounded(F, k)) continue;
            const double d =
                segmentDistance2(point, vertices[F.v[nextK(k)]].position, vertices[F.v[prevK(k)]].position);
            if (ef < 0 || d < best) {
                ef = f;
                ek = k;
                best = d;
            }
        }
    }
    if (ef < 0) {
        deselectAll();
        return false;
    }

    // The line both ways from that edge; a closed loop is walked whole from
    // its first end.
    const int a = faces[ef].v[nextK(ek)], b = faces[ef].v[prevK(ek)];
    std::vector<LineStep> line = {{a, ef, ek}, {b, ef, ek}};
    if (!walkLine(*this, a, b, ef, ek, line)) walkLine(*this, b, a, ef, ek, line);

    // Every walked edge between two faces loses its mark on both sides.
    for (const LineStep& s : line) {
        MeshFace& F = faces[s.f];
        const int g = link(F, s.k);
        if (g < 0) continue;
        const int u = F.v[nextK(s.k)], w = F.v[prevK(s.k)];
        F.setSharp(s.k, false);
        const int e = edgeJoining(faces[g], u, w);
        if (e >= 0) faces[g].setSharp(e, false);
        bufferState.markFeatures(s.f);
        bufferState.markFeatures(g);
    }
    // The vertices keep their sharp bit only where a sharp or open edge is
    // left (corners at the ends, borders); their sectors merge.
    std::vector<int> merged;
    merged.reserve(line.size());
    for (const LineStep& s : line) {
        vertexUpdate(s.v);
        merged.push_back(s.v);
    }
    // Their corner normals as the whole-mesh pass forms them.
    calculateNormalsRound(merged, false);
    deselectAll();
    return true;
}

}  // namespace qel
