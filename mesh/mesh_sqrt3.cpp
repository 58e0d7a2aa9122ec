// The sqrt(3) subdivision of qel::Mesh.
//
// One step splits every face at its centroid (faceSplit), flips every edge
// between two old vertices (sharp and open edges refuse and stay), and moves
// every old vertex halfway to its smoothed position (vertexSmoothPosition).
// Old vertices on a sharp or open edge keep their place: those edges are not
// split, so their new centroid neighbours stay where they are, and pulling
// the outline or crease inwards past them would turn faces over.
//
// Done edit by edit, the step walks the fans of all old vertices several
// times. On a sound mesh the result is known in closed form, so it is built
// directly: face i with corners (c0, c1, c2) and centroid vertex n_i = V + i
// yields three faces, one per directed edge p -> q of the old face:
//   edge 2 (c0 -> c1) in slot i, edge 0 (c1 -> c2) in slot F + 2i,
//   edge 1 (c2 -> c0) in slot F + 2i + 1,
// which are exactly the slots faceSplit gives them. A child whose edge
// stays (sharp or open) is (p, q, n_i); a child whose edge was flipped is
// (p, n_g, n_i), g being the face across the edge. Links follow from that
// shape alone. Materials, sharp marks and flags come out as the edits would
// leave them (sqrt3_plan.h). Meshes outside the sound case (inactive faces,
// links that do not match, two faces sharing two edges, a vertex with
// several fans or without a usable stored face) are subdivided edit by edit.
//
// A large mesh whose slot order would be scattered ends in space order
// (orderIfScattered); on a sound mesh that order and the links the rebuild
// would find are known beforehand, and the records are written once in
// their final places (mesh_sqrt3_order.cpp).

#include <climits>
#include <cstdint>
#include <vector>

#include "mesh/face_table.h"
#include "mesh/kept_selection.h"
#include "mesh/mesh.h"
#include "mesh/mesh_stroke.h"
#include "mesh/normal_math.h"
#include "mesh/space_order.h"
#include "mesh/sqrt3_plan.h"

namespace qel {

namespace {

// Copies the old topology and tests the face side of the sound case: active
// faces with three distinct active corners, links that are -1 or name
// another face, distinct per face, which links back across the same edge
// run the other way.
bool readFaces(const Mesh& m, Sqrt3Plan& w) {
    const int oldF = w.oldF;
    w.topo.resize(std::size_t(oldF) * 6);
    w.flags.resize(std::size_t(oldF));
    w.centre.resize(std::size_t(oldF));
    std::int32_t* t = w.topo.data();
    std::uint8_t* flags = w.flags.data();
    pbr* centre = w.centre.data();
    bool sound = true;
    m.faces.forRange(0, std::size_t(oldF), [&](const MeshFace& F) {
        for (int k = 0; k < 3; ++k) {
            t[k] = F.v[k];
            t[3 + k] = F.f[k];
        }
        *flags++ = F.flags;
        *centre++ = pbr::Centroid(F.material[0], F.material[1], F.material[2]);
        if (!F.isActive()) sound = false;
        t += 6;
    });
    if (!sound) return false;

    w.degree.assign(std::size_t(w.oldV), 0);
    w.feature.assign(std::size_t(w.oldV), 0);
    for (int i = 0; i < oldF; ++i) {
        const std::int32_t* v = &w.topo[std::size_t(i) * 6];
        for (int k = 0; k < 3; ++k)
            if (!m.activeVertex(v[k])) return false;
        if (v[0] == v[1] || v[1] == v[2] || v[2] == v[0]) return false;
        for (int k = 0; k < 3; ++k) ++w.degree[std::size_t(v[k])];
    }
    return true;
}

// Finds every edge's way back and which edges flip; marks the ends of
// sharp and open edges.
bool planFaces(Sqrt3Plan& w) {
    const int oldF = w.oldF;
    auto sharp = [&w](int face, int e) { return (w.flags[std::size_t(face)] & MeshFace::SHARP[e]) != 0; };
    auto mark = [&w](int p, int q, std::uint8_t bits) {
        w.anyFeature = true;
        w.feature[std::size_t(p)] = std::uint8_t(w.feature[std::size_t(p)] | bits);
        w.feature[std::size_t(q)] = std::uint8_t(w.feature[std::size_t(q)] | bits);
    };
    w.plan.resize(std::size_t(oldF));
    for (int i = 0; i < oldF; ++i) {
        const std::int32_t* v = &w.topo[std::size_t(i) * 6];
        const std::int32_t* f = v + 3;
        Sqrt3FacePlan& P = w.plan[std::size_t(i)];
        P.flipped = 0;
        for (int e = 0; e < 3; ++e) {
            const int g = f[e];
            const int p = v[nextK(e)], q = v[prevK(e)];
            P.back[e] = -1;
            if (g < 0) {
                if (g != -1) return false;
                mark(p, q, Sqrt3Plan::OnFeature | Sqrt3Plan::OnOpenEdge);
                continue;
            }
            if (g >= oldF || g == i || g == f[nextK(e)] || g == f[prevK(e)]) return false;
            const std::int32_t* gv = &w.topo[std::size_t(g) * 6];
            int j = -1;
            for (int x = 0; x < 3; ++x)
                if (gv[3 + x] == i && gv[nextK(x)] == q && gv[prevK(x)] == p) j = x;
            if (j < 0) return false;
            P.back[e] = std::int8_t(j);
            if (sharp(i, e) != sharp(g, j)) w.oneSided = true;
            if (sharp(i, e) || sharp(g, j))
                mark(p, q, Sqrt3Plan::OnFeature);
            else
                P.flipped = std::uint8_t(P.flipped | (1u << e));
        }
    }
    return true;
}

// The number of corners met circling v from face `start` (forward, and when
// that stops at an open edge, backward too); -1 when a face on the way does
// not hold v. Bounded by the face count.
int fanSize(const Sqrt3Plan& w, int v, int start) {
    auto cornerOf = [&w](int f, int x) {
        const std::int32_t* t = &w.topo[std::size_t(f) * 6];
        return t[0] == x ? 0 : t[1] == x ? 1 : t[2] == x ? 2 : -1;
    };
    int n = 0;
    for (int dir = 0; dir < 2; ++dir) {
        int f = start;
        if (dir == 1) {
            // Backward from the face before the start.
            const int k = cornerOf(start, v);
            f = w.topo[std::size_t(start) * 6 + 3 + std::size_t(prevK(k))];
        }
        for (int step = 0; step <= w.oldF && f >= 0; ++step) {
            const int k = cornerOf(f, v);
            if (k < 0) return -1;
            ++n;
            const int e = dir == 0 ? nextK(k) : prevK(k);
            const int g = w.topo[std::size_t(f) * 6 + 3 + std::size_t(e)];
            if (g == start) return n;  // a closed fan, met whole going forward
            f = g;
        }
    }
    return n;
}

// Tests the vertex side of the sound case: every vertex used by a face has a
// stored face holding it, and circling from there meets all its corners.
bool checkFans(const Mesh& m, Sqrt3Plan& w) {
    for (int v = 0; v < w.oldV; ++v) {
        const int deg = w.degree[std::size_t(v)];
        if (deg == 0) {
            w.looseVertex = true;
            continue;
        }
        const int s = m.vertices[v].face;
        if (s < 0 || s >= w.oldF) return false;
        const std::int32_t* t = &w.topo[std::size_t(s) * 6];
        if (t[0] != v && t[1] != v && t[2] != v) return false;
        if (fanSize(w, v, s) != deg) return false;
    }
    return true;
}

// The normals calculateNormals forms after the slot-order build, formed
// before it on a mesh without sharp or open edges and without loose
// vertices: every vertex is smooth and every corner takes its vertex's
// normalised sum of face normals, summed in slot order.
struct SlotNormals {
    std::vector<vec3> face;    // per slot
    std::vector<vec3> vertex;  // per vertex (old, then centroids)
};

}  // namespace

void sqrt3FinalPositions(const Sqrt3Plan& w, std::vector<vec3>& position) {
    const int oldV = w.oldV, oldF = w.oldF;
    std::vector<vec3> sum(std::size_t(oldV), vec3(0, 0, 0));
    for (int i = 0; i < oldF; ++i) {
        const std::int32_t* v = &w.topo[std::size_t(i) * 6];
        const vec3* const p = position.data();
        const vec3 c = sqrt3Centroid(p[v[0]], p[v[1]], p[v[2]]);
        for (int k = 0; k < 3; ++k) sum[std::size_t(v[k])] += c;
        position.push_back(c);
    }
    for (int v = 0; v < oldV; ++v) {
        if (w.feature[std::size_t(v)]) continue;
        const vec3 target = sum[std::size_t(v)] / float(w.degree[std::size_t(v)]);
        position[std::size_t(v)] = (position[std::size_t(v)] + target) * 0.5f;
    }
}

namespace {

void formSlotNormals(const Mesh& m, const Sqrt3Plan& w, SlotNormals& n) {
    const int oldV = w.oldV, oldF = w.oldF;
    // The final positions, as buildFaces and smoothOldVertices reach them.
    std::vector<vec3> position;
    position.reserve(std::size_t(oldV) + std::size_t(oldF));
    m.vertices.forRange(0, std::size_t(oldV), [&position](const MeshVertex& r) { position.push_back(r.position); });
    sqrt3FinalPositions(w, position);
    const int nF = 3 * oldF;
    n.face.reserve(std::size_t(nF));
    n.vertex.assign(position.size(), vec3(0, 0, 0));
    for (int s = 0; s < nF; ++s) {
        const int i = s < oldF ? s : (s - oldF) >> 1;
        const Sqrt3Child c = w.child(i, s < oldF ? 2 : (s - oldF) & 1);
        const vec3 f =
            triangleNormal(position[std::size_t(c.v[0])], position[std::size_t(c.v[1])], position[std::size_t(c.v[2])]);
        n.face.push_back(f);
        for (int k = 0; k < 3; ++k) n.vertex[std::size_t(c.v[k])] += f;
    }
    for (vec3& v : n.vertex) v = normaliseCorner(v);
}

// Writes the three child faces of old face i (indexed by edge) from the old
// record F (a copy: child 2 overwrites it in place), with their normals
// when they are known.
void buildChildren(const MeshFace& F, int i, const Sqrt3Plan& w, const SlotNormals* normals, MeshFace* const child[3]) {
    const pbr& own = w.centre[std::size_t(i)];
    const pbr corner[3] = {pbr::Clamped(F.material[0]), pbr::Clamped(F.material[1]), pbr::Clamped(F.material[2])};
    for (int e = 0; e < 3; ++e) {
        const Sqrt3Child c = w.child(i, e);
        MeshFace& N = *child[e];
        N = MeshFace(c.v[0], c.v[1], c.v[2], c.f[0], c.f[1], c.f[2], false, false, c.sharp);
        N.material[0] = corner[nextK(e)];
        N.material[1] = c.across >= 0 ? w.centre[std::size_t(c.across)] : corner[prevK(e)];
        N.material[2] = own;
        if (normals) {
            N.normal = normals->face[std::size_t(w.childSlot(i, e))];
            for (int k = 0; k < 3; ++k) N.normals[k] = normals->vertex[std::size_t(c.v[k])];
        }
    }
}

// Writes the three child faces of every old face in their slots and its
// centroid vertex, and sums the centroids round each old vertex.
void buildFaces(Mesh& m, Sqrt3Plan& w, const SlotNormals* normals) {
    const int oldV = w.oldV, oldF = w.oldF;
    m.vertices.reserve(std::size_t(oldV) + std::size_t(oldF));
    m.faces.reserve(std::size_t(oldF) * 3);
    w.centroidSum.assign(std::size_t(oldV), vec3(0, 0, 0));
    const MeshFace blank;
    for (int i = 0; i < oldF; ++i) {
        const MeshFace F = m.faces[i];
        const vec3 c =
            sqrt3Centroid(m.vertices[F.v[0]].position, m.vertices[F.v[1]].position, m.vertices[F.v[2]].position);
        for (const int v : F.v) w.centroidSum[std::size_t(v)] += c;
        m.vertices.push_back(MeshVertex(c, i, MeshVertex::ActiveBit));
        MeshFace* const child[3] = {&m.faces.push_back(blank), &m.faces.push_back(blank), &m.faces[i]};
        buildChildren(F, i, w, normals, child);
    }
}

// Old vertices: a stored face that still holds them (the child leaving them
// in their old stored face), then the fan conventions for those on sharp or
// open edges. The others lie on no feature and keep bits 0-2 clear, as
// vertexUpdate would leave them.
void updateOldVertices(Mesh& m, const Sqrt3Plan& w) {
    constexpr std::uint8_t FanBits = MeshVertex::SharpBit | MeshVertex::CornerBit | MeshVertex::BorderBit;
    for (int v = 0; v < w.oldV; ++v) {
        if (w.degree[std::size_t(v)] == 0) continue;
        MeshVertex& r = m.vertices[v];
        const std::int32_t* t = &w.topo[std::size_t(r.face) * 6];
        const int k = t[0] == v ? 0 : t[1] == v ? 1 : 2;
        r.face = w.childSlot(r.face, prevK(k));
        if (w.feature[std::size_t(v)] || (r.flags & FanBits)) m.vertexUpdate(v);
    }
}

// Old vertices off sharp and open edges halfway to vertexSmoothPosition, all
// targets first. Such a vertex is smooth and its ring is the centroids of
// its old faces: its target is their mean, summed while they were made.
// Vertices without faces are walked.
void smoothOldVertices(Mesh& m, Sqrt3Plan& w) {
    std::vector<vec3>& target = w.centroidSum;
    for (int v = 0; v < w.oldV; ++v) {
        const int deg = w.degree[std::size_t(v)];
        if (deg == 0)
            target[std::size_t(v)] = m.vertexSmoothPosition(v);
        else if (!w.feature[std::size_t(v)])
            target[std::size_t(v)] = target[std::size_t(v)] / float(deg);
    }
    for (int v = 0; v < w.oldV; ++v) {
        if (w.feature[std::size_t(v)]) continue;
        vec3& p = m.vertices[v].position;
        p = (p + target[std::size_t(v)]) * 0.5f;
    }
}

// The direct step in slot order on a planned mesh.
// With settled, the normals are written with the records (for a plan
// without sharp or open edges and without loose vertices).
void buildInSlotOrder(Mesh& m, Sqrt3Plan& w, bool settled) {
    SlotNormals normals;
    if (settled) formSlotNormals(m, w, normals);
    buildFaces(m, w, settled ? &normals : nullptr);
    updateOldVertices(m, w);
    smoothOldVertices(m, w);
}

// The step edit by edit: every old face split, every old edge flipped from
// the ring of its lower end, the old vertices off sharp and open edges
// halfway to their smoothed positions (all targets first).
void subdivideByEdits(Mesh& m, int oldV, int oldF) {
    for (int i = 0; i < oldF; ++i) m.faceSplit(i);
    std::vector<int> ring;
    for (int v = 0; v < oldV; ++v) {
        m.findNeighbours(v, ring);
        for (const int x : ring) {
            int f = -1, k = -1;
            if (v < x && x < oldV && m.findEdge(v, x, f, k)) m.edgeFlipFK(f, k);
        }
    }
    std::vector<vec3> target(static_cast<std::size_t>(oldV));
    for (int v = 0; v < oldV; ++v) target[std::size_t(v)] = m.vertexSmoothPosition(v);
    for (int v = 0; v < oldV; ++v) {
        if (m.vertices[v].isSharp()) continue;
        vec3& p = m.vertices[v].position;
        p = (p + target[std::size_t(v)]) * 0.5f;
    }
}

}  // namespace

bool planSqrt3(const Mesh& m, Sqrt3Plan& w) {
    w.oldV = m.vertexCount();
    w.oldF = m.faceCount();
    return readFaces(m, w) && planFaces(w) && checkFans(m, w);
}

void Mesh::subdivideSqrt3() {
    topologyEdited();
    const int oldV = vertexCount();
    const int oldF = faceCount();
    // The new counts must stay within the index type.
    if (oldF > (INT_MAX - oldV) || oldF > INT_MAX / 3) return;
    Sqrt3Plan w;
    if (!planSqrt3(*this, w)) {
        subdivideByEdits(*this, oldV, oldF);
        deleteVBO();
        // The new records were appended: see subdivide.
        if (!orderIfScattered()) calculateNormals(2);
        return;
    }
    // Whether the faces in slot order would be scattered (the test of
    // orderIfScattered, read from the plan).
    const bool scattered = spaceorder::scattered(oldV + oldF, 3 * oldF, [&w](int s) { return w.firstCorner(s); });
    if (scattered && !w.oneSided && !w.looseVertex) {
        // Written in space order at once: what orderInSpace drops, then
        // the records, then the rebuild's steps after its links (every
        // shared edge runs both ways, every vertex has one fan). The
        // selection then names what it names after the step in slot order
        // and orderInSpace: the old vertices, and the child in each old
        // face's slot (written afresh, as the step writes it).
        forgetOpenStroke();
        stroke_.reset();
        keptselection::dropStampLists(*this);
        FaceTable table;
        std::vector<std::int32_t> vertexTo, faceTo;
        const bool settled = buildSqrt3InSpaceOrder(*this, w, table, vertexTo, faceTo);
        keptselection::renumber(*this, vertexTo, faceTo);
        vertexMark = vertexCount();
        faceMark = faceCount();
        deleteVBO();
        bufferState.markFeatures();
        needsCompaction = 0;
        // Settled: what the rebuild's vertex and normal passes would write
        // is there already (smooth vertices with bits 0-2 clear, every
        // corner with its vertex's normal); its last steps (size kept,
        // nothing to compact, buffers dropped) change nothing.
        if (settled)
            status = 0;
        else
            rebuildAfterLinks(ResizeKeep, true, true, false, &table);
        return;
    }
    // In slot order, a mesh without features or loose vertices gets its
    // normals with its records.
    const bool settled = !scattered && !w.anyFeature && !w.looseVertex;
    buildInSlotOrder(*this, w, settled);
    deleteVBO();
    if (settled) return;
    // The new records were appended: see subdivide.
    if (!scattered || !orderIfScattered()) calculateNormals(2);
}

}  // namespace qel
