#pragma once
// The plan of one sqrt(3) step on a sound mesh (mesh_sqrt3.cpp), shared by
// the step's two builds: in the slot order the face splits give, and in
// space order (mesh_sqrt3_order.cpp) for a result the slot order would
// leave scattered.
//
// Old face i with corners (c0, c1, c2) and centroid vertex n_i = V + i
// yields three children, one per edge e (edge e runs from corner e+1 to
// corner e+2, p -> q): edge 2 in slot i, edge 0 in slot F + 2i, edge 1 in
// slot F + 2i + 1. A child whose edge stays (sharp or open) is (p, q, n_i);
// one whose edge was flipped is (p, n_g, n_i), g the face across the edge.

#include <cstdint>
#include <vector>

#include "core/vec.h"
#include "gl/pbr.h"
#include "mesh/mesh_records.h"

namespace qel {

class Mesh;
struct FaceTable;

// The centroid faceSplit places its vertex at.
inline vec3 sqrt3Centroid(const vec3& a, const vec3& b, const vec3& c) {
    return vec3((a.x + b.x + c.x) / 3.0f, (a.y + b.y + c.y) / 3.0f, (a.z + b.z + c.z) / 3.0f);
}

// What the builds need to know of each old face: for every edge e the
// neighbour's edge back (-1 when open), and which edges are flipped.
struct Sqrt3FacePlan {
    std::int8_t back[3];
    std::uint8_t flipped;  // bit e: edge e is flipped
    bool flips(int e) const { return (flipped >> e) & 1; }
};

// One child in slot numbering: corners, links, whether its edge p -> q
// (edge 2) is sharp, and the face across the flipped edge (-1 when kept).
struct Sqrt3Child {
    std::int32_t v[3];
    std::int32_t f[3];
    bool sharp;
    std::int32_t across;  // g when the child's edge was flipped
};

struct Sqrt3Plan {
    // Per old vertex: on a sharp or open edge, and on an open edge.
    static constexpr std::uint8_t OnFeature = 1, OnOpenEdge = 2;

    int oldV = 0, oldF = 0;
    std::vector<std::int32_t> topo;     // per old face v[3], f[3]
    std::vector<std::uint8_t> flags;    // per old face
    std::vector<Sqrt3FacePlan> plan;    // per old face
    std::vector<pbr> centre;            // per old face: the centroid material
    std::vector<std::int32_t> degree;   // per old vertex: its corners
    std::vector<std::uint8_t> feature;  // per old vertex: OnFeature, OnOpenEdge
    std::vector<vec3> centroidSum;      // per old vertex: the centroids round it
    bool oneSided = false;              // some edge is marked sharp on one side only
    bool looseVertex = false;           // some vertex is used by no face
    bool anyFeature = false;            // some edge is sharp or open

    // The slot of the child for edge e of old face i.
    int childSlot(int i, int e) const { return e == 2 ? i : oldF + 2 * i + e; }
    // Child e of old face i.
    Sqrt3Child child(int i, int e) const {
        const std::int32_t* v = &topo[std::size_t(i) * 6];
        const std::int32_t* f = v + 3;
        const Sqrt3FacePlan& P = plan[std::size_t(i)];
        const int kp = nextK(e), kq = prevK(e);
        const int n = oldV + i;
        // The link across n-p: the previous child, or, when that child's edge
        // flipped, the neighbour's child that now holds p.
        const int lnp = P.flips(kq) ? childSlot(f[kq], P.back[kq]) : childSlot(i, kq);
        const int g = f[e];
        if (P.flips(e)) {
            const int j = P.back[e];
            return Sqrt3Child{{v[kp], oldV + g, n}, {childSlot(g, j), lnp, childSlot(g, nextK(j))}, false, g};
        }
        const int across = g < 0 ? -1 : childSlot(g, P.back[e]);
        return Sqrt3Child{{v[kp], v[kq], n},
                          {childSlot(i, kp), lnp, across},
                          (flags[std::size_t(i)] & MeshFace::SHARP[e]) != 0 || g < 0,
                          -1};
    }
    // The first corner of the face in slot s, as the slot-order build
    // writes it.
    int firstCorner(int s) const {
        if (s < oldF) return topo[std::size_t(s) * 6];
        const int i = (s - oldF) >> 1;
        return topo[std::size_t(i) * 6 + 1 + std::size_t((s - oldF) & 1)];
    }
};

// The step's final positions: position holds the old vertices' positions;
// the centroids of the old faces are appended in face order, and the old
// vertices off sharp and open edges move halfway to the mean of the
// centroids round them (summed in face order). For a plan without loose
// vertices.
void sqrt3FinalPositions(const Sqrt3Plan& w, std::vector<vec3>& position);

// Reads the mesh and plans the step; false when the mesh is outside the
// sound case (inactive faces, links that do not match, two faces sharing
// two edges, a vertex with several fans or without a usable stored face).
bool planSqrt3(const Mesh& m, Sqrt3Plan& w);

// The step in space order, as the slot-order step followed by its
// renumbering and rebuild links leaves it (mesh_sqrt3_order.cpp): the
// records written once, in their final places. On a mesh without sharp or
// open edges they get their normals and vertex flags as the rebuild leaves
// them, and true is returned; otherwise the table holds the corners, links
// and flags the rebuild's vertex and normal passes read. For a plan without
// one-sided marks or loose vertices. vertexTo and faceTo receive the final
// number of every old vertex and of the child in each old face's slot.
bool buildSqrt3InSpaceOrder(Mesh& m, Sqrt3Plan& w, FaceTable& table, std::vector<std::int32_t>& vertexTo,
                            std::vector<std::int32_t>& faceTo);

}  // namespace qel
