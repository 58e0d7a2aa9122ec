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
// whole-mesh pass runs instead. A sound mesh has one fan per vertex (the
// rebuild gives touching fans vertices of their own, and the edits keep
// them apart); a mesh whose rebuild failed has none, and the whole-mesh
// pass runs for it too.
//
// cornerNormalsOf reads the faces of its vertices from the face list
// instead: one walk over every face, for the vertices a compaction touched
// (it walks every face itself).

#include <algorithm>
#include <cstdint>
#include <utility>
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
    // A mesh whose links could not be built (an edge of three faces) has no
    // fans to read: a vertex's faces need not be linked to its stored face.
    if (status != 0) {
        calculateNormals(faceNormals ? 2 : 1);
        bufferState.refillWhole(RefillNormals);
        return;
    }
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

void Mesh::cornerNormalsOf(const std::vector<int>& list) {
    // The listed vertices the whole pass writes: active, with a stored face.
    std::vector<int> listed;
    listed.reserve(list.size());
    for (const int v : list)
        if (activeVertex(v) && vertices[v].face >= 0) listed.push_back(v);
    sortUniqueIndices(listed);
    if (listed.empty()) return;
    const int nV = vertexCount();
    const int nF = faceCount();
    std::vector<std::uint64_t> marked((std::size_t(nV) + 63) / 64, 0);
    for (const int v : listed) marked[std::size_t(v) >> 6] |= std::uint64_t(1) << (v & 63);
    auto slotOf = [&](unsigned v) -> int {
        if (v >= unsigned(nV) || !((marked[v >> 6] >> (v & 63)) & 1u)) return -1;
        return int(std::lower_bound(listed.begin(), listed.end(), int(v)) - listed.begin());
    };

    // What the whole pass gathers per vertex, face by face in list order:
    // the sum of the normals of the faces with three corners in range and
    // what edges meet it; and the corners it writes (of every active face).
    struct Gathered {
        vec3 sum{0, 0, 0};
        std::uint8_t state = 0;
    };
    std::vector<Gathered> gathered(listed.size());
    struct Corner {
        int face, k, slot;  // corner k of face, of the listed vertex at slot
    };
    std::vector<Corner> corners;
    int f = 0;
    faces.forRange(0, faces.size(), [&](const MeshFace& F) {
        const int i = f++;
        if (!F.isActive()) return;
        const bool usable =
            unsigned(F.v[0]) < unsigned(nV) && unsigned(F.v[1]) < unsigned(nV) && unsigned(F.v[2]) < unsigned(nV);
        const bool plain = plainFace(F.f, F.flags, nF);
        for (int k = 0; k < 3; ++k) {
            const int s = slotOf(unsigned(F.v[k]));
            if (s < 0) continue;
            corners.push_back(Corner{i, k, s});
            if (!usable) continue;
            Gathered& g = gathered[std::size_t(s)];
            g.sum += F.normal;
            g.state |= plain ? std::uint8_t(CornerOnSmoothEdge) : cornerEdges(F, k, nF);
            if (vertices[F.v[k]].face == i) g.state |= CornerStartSeen;
        }
    });

    // Settled as the whole pass settles them: one normal for a vertex
    // without sharp or open edges, the face's for one with only such edges;
    // the others (and those without a usable stored face) are walked.
    for (std::size_t s = 0; s < listed.size(); ++s) {
        Gathered& g = gathered[s];
        const std::uint8_t settling = cornerSettling(g.state);
        if (!(g.state & CornerStartSeen) || !settling) {
            vertexNormals(listed[s]);
            continue;
        }
        if (settling == CornerDirect) g.sum = normaliseCorner(g.sum);
        g.state |= settling;
    }
    for (const auto& [i, k, s] : corners) {
        MeshFace& F = faces[i];
        const Gathered& g = gathered[std::size_t(s)];
        if (g.state & CornerDirect)
            F.normals[k] = g.sum;
        else if (g.state & CornerFaceSectors)
            F.normals[k] = normaliseCorner(F.normal);
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
