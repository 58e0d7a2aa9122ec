// The normals of the part of a mesh round some vertices, exactly as the
// whole-mesh pass (calculateNormals) writes them there.
//
// The whole-mesh pass treats a vertex by what meets it:
// - no sharp or open edge: every corner takes the normalised sum of the
//   normals of all its faces, added in face order;
// - only sharp or open edges: every corner takes its own face's normal;
// - both kinds: its sectors are walked from the stored face (vertexNormals);
// - a stored face that is not an active face holding it: walked the same way.
// Moving a vertex changes the normals of its faces, and through them the
// corners of every vertex of those faces; a change of links or sharp marks
// does the same for the vertices round the edges it touches. This pass
// takes each such vertex's faces from its fan and treats it as the whole
// pass would. A vertex whose fan is cut short by a link to a deleted face,
// or starts in the middle of an open run, cannot be read that way: then the
// whole-mesh pass runs instead.

#include <algorithm>
#include <vector>

#include "mesh/corner_edges.h"
#include "mesh/index_sort.h"
#include "mesh/mesh.h"
#include "mesh/normal_math.h"
#include "mesh/vertex_fans.h"

namespace qel {

bool Mesh::faceWithCorners(int f) const {
    if (!activeFace(f)) return false;
    const MeshFace& F = faces[f];
    return validVertex(F.v[0]) && validVertex(F.v[1]) && validVertex(F.v[2]);
}

void Mesh::calculateNormalsRound(const std::vector<int>& touched, bool faceNormals) {
    std::vector<int> moved;
    moved.reserve(touched.size());
    for (const int v : touched)
        if (activeVertex(v)) moved.push_back(v);
    sortUniqueIndices(moved);
    VertexFans fans;
    gatherFans(fans, moved.data(), moved.size());

    // The faces round the moved vertices, in face order.
    std::vector<int> round;
    round.reserve(fans.size() * 7);
    for (std::size_t i = 0; i < fans.size(); ++i)
        for (const FanFace* x = fans.begin(i); x != fans.end(i); ++x) round.push_back(x->face);
    sortUniqueIndices(round);
    std::vector<int> corners;
    corners.reserve(round.size() * 3);
    for (const int f : round) {
        if (!faceWithCorners(f)) continue;
        MeshFace& F = faces[f];
        if (faceNormals)
            F.normal =
                triangleNormal(vertices[F.v[0]].position, vertices[F.v[1]].position, vertices[F.v[2]].position);
        corners.insert(corners.end(), F.v, F.v + 3);
    }
    sortUniqueIndices(corners);
    VertexFans ring;
    gatherFans(ring, corners.data(), corners.size());
    // The normals of every face round the corners may have changed: the
    // next normals refill rewrites those faces (the fans already list them).
    if (!bufferState.writeNormalsRound(ring, [&] { return cornerNormalsRound(ring); })) {
        calculateNormals(faceNormals ? 2 : 1);
        bufferState.refillWhole(RefillNormals);
    }
}

bool Mesh::cornerNormalsRound(const VertexFans& ring) {
    constexpr std::uint8_t Bounded = CornerOnSharpEdge | CornerOnOpenEdge;
    const int nF = faceCount();
    std::vector<int> fan;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const int v = ring.vertex(i);
        const MeshVertex& r = vertices[v];
        if (!r.isActive() || r.face < 0) continue;
        const FanFace* const begin = ring.begin(i);
        const FanFace* const end = ring.end(i);
        if (begin == end || !faceWithCorners(r.face)) {
            vertexNormals(v);
            continue;
        }
        std::uint8_t bits = 0;
        for (const FanFace* x = begin; x != end; ++x) {
            const MeshFace& F = faces[x->face];
            bits |= plainFace(F.f, F.flags, nF) ? std::uint8_t(CornerOnSmoothEdge) : cornerEdges(F, x->k, nF);
        }
        if (bits & Bounded) {
            if (bits & CornerOnSmoothEdge) {
                vertexNormals(v);
                continue;
            }
            // One sector per face: an open fan must start where its run
            // starts, or faces before the stored one would be missed.
            if (end[-1].openEnd() && activeFace(begin->back)) return false;
            for (const FanFace* x = begin; x != end; ++x) {
                MeshFace& F = faces[x->face];
                F.normals[x->k] = normaliseCorner(F.normal);
            }
            continue;
        }
        // One sector: the fan must close, and its normals are added in
        // face order.
        if (end[-1].openEnd()) return false;
        fan.clear();
        for (const FanFace* x = begin; x != end; ++x) fan.push_back(x->face);
        std::sort(fan.begin(), fan.end());
        vec3 sum(0, 0, 0);
        for (const int f : fan) sum += faces[f].normal;
        const vec3 n = normaliseCorner(sum);
        for (const FanFace* x = begin; x != end; ++x) faces[x->face].normals[x->k] = n;
    }
    return true;
}

}  // namespace qel
