// The sqrt(3) step written in space order. On a large mesh the slot order
// of the step (children at i, F + 2i, F + 2i + 1, centroids appended) is
// scattered, and the step ends with the renumbering of an import and a
// whole rebuild of the links. Both are known before any record is written:
// the final positions follow from the old ones, the Z-order numbers and the
// face order from those positions and the children's corners, and the links
// of a sound mesh from the children's shapes. So every record is written
// once, in its final place, with what the renumbering and the rebuild's
// link pass would have left there. On a mesh with sharp or open edges the
// rebuild's vertex and normal passes then run on the table written
// alongside; on one without, every vertex is smooth, and the normals are
// formed before the records and written with them.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "mesh/face_table.h"
#include "mesh/mesh.h"
#include "mesh/normal_math.h"
#include "mesh/space_order.h"
#include "mesh/sqrt3_plan.h"

namespace qel {

namespace {

// Records are read this many faces ahead of the one being written.
constexpr int Ahead = 16;

// The working lists of the build, in slot numbering unless told.
struct OrderWork {
    std::vector<MeshVertex> oldVertices;  // the old vertex records
    std::vector<pbr> corner;              // per old face its three corner materials, clamped
    std::vector<vec3> position;           // per vertex (old, then centroids) its final position
    std::vector<std::int32_t> from;       // per final vertex number the vertex it takes
    std::vector<std::int32_t> renumber;   // per vertex its final number
    std::vector<std::int32_t> faceAt;     // per final face number the slot it takes
    std::vector<std::int32_t> finalOf;    // per slot its final face number
    std::vector<std::int32_t> lastFace;   // per final vertex number the last face using it
    std::vector<vec3> faceNormal;         // on a mesh without features: per final face its normal
    std::vector<vec3> vertexNormal;       // and per final vertex its normal
};

// The old records copied (the final ones overwrite them) and the final
// positions: the centroids from the old positions, and the old vertices off
// sharp and open edges halfway to the mean of their centroids, summed in
// face order as the slot-order build sums them.
void readOld(const Mesh& m, const Sqrt3Plan& w, OrderWork& o) {
    const int oldV = w.oldV, oldF = w.oldF;
    o.oldVertices.reserve(std::size_t(oldV));
    o.position.reserve(std::size_t(oldV) + std::size_t(oldF));
    m.vertices.forRange(0, std::size_t(oldV), [&o](const MeshVertex& r) {
        o.oldVertices.push_back(r);
        o.position.push_back(r.position);
    });
    o.corner.reserve(std::size_t(oldF) * 3);
    m.faces.forRange(0, std::size_t(oldF), [&o](const MeshFace& F) {
        for (int k = 0; k < 3; ++k) o.corner.push_back(pbr::Clamped(F.material[k]));
    });
    sqrt3FinalPositions(w, o.position);
}

// The faces by their lowest final corner, stable in slot order (a counting
// sort), as the renumbering sorts them.
void orderFaces(const Sqrt3Plan& w, OrderWork& o) {
    const int nV = w.oldV + w.oldF, nF = 3 * w.oldF;
    const std::int32_t* const renumber = o.renumber.data();
    std::vector<std::int32_t> lowest(static_cast<std::size_t>(nF));
    std::vector<std::int32_t> start(std::size_t(nV) + 1, 0);
    for (int i = 0; i < w.oldF; ++i) {
        const std::int32_t* v = &w.topo[std::size_t(i) * 6];
        const std::int32_t* f = v + 3;
        const Sqrt3FacePlan& P = w.plan[std::size_t(i)];
        const int n = renumber[w.oldV + i];
        for (int e = 0; e < 3; ++e) {
            const int second = P.flips(e) ? w.oldV + f[e] : v[prevK(e)];
            const int low = std::min({renumber[v[nextK(e)]], renumber[second], n});
            lowest[std::size_t(w.childSlot(i, e))] = low;
            ++start[std::size_t(low) + 1];
        }
    }
    for (int i = 0; i < nV; ++i) start[std::size_t(i) + 1] += start[std::size_t(i)];
    o.faceAt.resize(std::size_t(nF));
    o.finalOf.resize(std::size_t(nF));
    for (int s = 0; s < nF; ++s) {
        const int t = start[std::size_t(lowest[std::size_t(s)])]++;
        o.faceAt[std::size_t(t)] = s;
        o.finalOf[std::size_t(s)] = t;
    }
}

// On a mesh without sharp or open edges, the normals as the rebuild's
// normal pass forms them: each face's from its final corners, and each
// vertex's the normalised sum of its faces' normals in final face order
// (every vertex is smooth: its corners all take it).
void smoothNormals(const Sqrt3Plan& w, OrderWork& o) {
    const int oldF = w.oldF, nF = 3 * oldF;
    const std::int32_t* const renumber = o.renumber.data();
    const vec3* const position = o.position.data();
    o.faceNormal.reserve(std::size_t(nF));
    o.vertexNormal.assign(std::size_t(w.oldV) + std::size_t(oldF), vec3(0, 0, 0));
    vec3* const sum = o.vertexNormal.data();
    for (int t = 0; t < nF; ++t) {
        const int s = o.faceAt[std::size_t(t)];
        const int i = s < oldF ? s : (s - oldF) >> 1;
        const Sqrt3Child c = w.child(i, s < oldF ? 2 : (s - oldF) & 1);
        const vec3 n = triangleNormal(position[c.v[0]], position[c.v[1]], position[c.v[2]]);
        o.faceNormal.push_back(n);
        for (int k = 0; k < 3; ++k) sum[renumber[c.v[k]]] += n;
    }
    for (vec3& n : o.vertexNormal) n = normaliseCorner(n);
}

// Every face record in final order, over the old ones and then appended,
// and (unless the normals are known) the table of corners, links and flags;
// the last face of each vertex.
void writeFaces(Mesh& m, const Sqrt3Plan& w, OrderWork& o, FaceTable& table) {
    const bool withNormals = !o.faceNormal.empty();
    const int oldF = w.oldF, nF = 3 * oldF;
    const std::int32_t* const renumber = o.renumber.data();
    const std::int32_t* const finalOf = o.finalOf.data();
    const std::int32_t* const faceAt = o.faceAt.data();
    if (!withNormals) {
        table.corners.allocate(std::size_t(nF) * 3);
        table.links.allocate(std::size_t(nF) * 3);
        table.flags.allocate(std::size_t(nF));
        table.linksWritten = false;
        table.clearMarks = true;
    }
    o.lastFace.assign(std::size_t(w.oldV) + std::size_t(oldF), -1);
    m.faces.reserve(std::size_t(nF));
    auto parentOf = [oldF](int s) { return s < oldF ? s : (s - oldF) >> 1; };
    MeshFace N;
    for (int t = 0; t < nF; ++t) {
        if (t + Ahead < nF) {
            const int i = parentOf(faceAt[t + Ahead]);
            __builtin_prefetch(&w.topo[std::size_t(i) * 6]);
            __builtin_prefetch(&w.plan[std::size_t(i)]);
            __builtin_prefetch(&o.corner[std::size_t(i) * 3]);
            __builtin_prefetch(&o.corner[std::size_t(i) * 3 + 2]);
            __builtin_prefetch(&w.centre[std::size_t(i)]);
        }
        const int s = faceAt[t];
        const int i = parentOf(s);
        const int e = s < oldF ? 2 : (s - oldF) & 1;
        const Sqrt3Child c = w.child(i, e);
        for (int k = 0; k < 3; ++k) {
            N.v[k] = renumber[c.v[k]];
            N.f[k] = c.f[k] < 0 ? -1 : finalOf[c.f[k]];
            o.lastFace[std::size_t(N.v[k])] = t;
        }
        N.flags = std::uint8_t(MeshFace::ActiveBit | (c.sharp ? MeshFace::SHARP[2] : 0));
        if (withNormals) {
            N.normal = o.faceNormal[std::size_t(t)];
            for (int k = 0; k < 3; ++k) N.normals[k] = o.vertexNormal[std::size_t(N.v[k])];
        } else {
            for (int k = 0; k < 3; ++k) {
                table.corners[3 * std::size_t(t) + std::size_t(k)] = N.v[k];
                table.links[3 * std::size_t(t) + std::size_t(k)] = N.f[k];
            }
            table.flags[std::size_t(t)] = N.flags;
        }
        const pbr* corner = &o.corner[std::size_t(i) * 3];
        N.material[0] = corner[nextK(e)];
        N.material[1] = c.across >= 0 ? w.centre[std::size_t(c.across)] : corner[prevK(e)];
        N.material[2] = w.centre[std::size_t(i)];
        if (t < oldF)
            m.faces[std::size_t(t)] = N;
        else
            m.faces.push_back(N);
    }
}

// Every vertex record in final order: an old vertex with its final
// position and the flags the slot-order build leaves it (vertexUpdate on
// those on sharp or open edges or with fan bits), a centroid vertex
// active; each stores its last face, active, as the rebuild's link pass
// leaves it.
void writeVertices(Mesh& m, const Sqrt3Plan& w, const OrderWork& o) {
    constexpr std::uint8_t FanBits = MeshVertex::SharpBit | MeshVertex::CornerBit | MeshVertex::BorderBit;
    const int oldV = w.oldV, nV = oldV + w.oldF;
    m.vertices.reserve(std::size_t(nV));
    for (int r = 0; r < nV; ++r) {
        const int x = o.from[std::size_t(r)];
        MeshVertex rec(o.position[std::size_t(x)], -1, MeshVertex::ActiveBit);
        if (x < oldV) {
            rec = o.oldVertices[std::size_t(x)];
            rec.position = o.position[std::size_t(x)];
            const std::uint8_t feature = w.feature[std::size_t(x)];
            std::uint8_t flags = rec.flags;
            if (feature || (flags & FanBits)) {
                // Circling finds an open edge, or else (every mark two-sided)
                // a sharp one when the vertex has one.
                if (feature & Sqrt3Plan::OnOpenEdge) {
                    flags = std::uint8_t(flags | MeshVertex::SharpBit | MeshVertex::BorderBit);
                } else {
                    flags = std::uint8_t(flags & ~MeshVertex::BorderBit);
                    if (!((flags & MeshVertex::SharpBit) && feature)) flags = std::uint8_t(flags & ~FanBits);
                }
            }
            rec.flags = flags;
        }
        rec.face = o.lastFace[std::size_t(r)];
        rec.flags = std::uint8_t(rec.flags | MeshVertex::ActiveBit);
        if (r < oldV)
            m.vertices[std::size_t(r)] = rec;
        else
            m.vertices.push_back(rec);
    }
}

}  // namespace

bool buildSqrt3InSpaceOrder(Mesh& m, Sqrt3Plan& w, FaceTable& table, std::vector<std::int32_t>& vertexTo,
                            std::vector<std::int32_t>& faceTo) {
    OrderWork o;
    readOld(m, w, o);
    const int nV = w.oldV + w.oldF;
    spaceorder::zOrder(
        nV,
        [&o](auto&& fn) {
            for (const vec3& p : o.position) fn(p);
        },
        o.from, o.renumber);
    orderFaces(w, o);
    if (!w.anyFeature) smoothNormals(w, o);
    writeFaces(m, w, o, table);
    writeVertices(m, w, o);
    vertexTo.assign(o.renumber.begin(), o.renumber.begin() + w.oldV);
    faceTo.assign(o.finalOf.begin(), o.finalOf.begin() + w.oldF);
    return !w.anyFeature;
}

}  // namespace qel
