#pragma once
// What the edges of a face are at each of its corners, as the vertex and
// corner-normal passes of a mesh gather them face by face (the rebuild's
// vertex pass in mesh_connectivity.cpp, the normal passes in
// mesh_normals.cpp and mesh_region_normals.cpp).

#include <cstdint>

#include "mesh/mesh_records.h"

namespace qel {

// Per-vertex state gathered face by face over the vertex's corners.
enum CornerState : std::uint8_t {
    CornerOnSharpEdge = 1,   // a sharp edge meets the vertex
    CornerOnOpenEdge = 2,    // an open edge meets it
    CornerOnSmoothEdge = 4,  // an unmarked edge with a neighbour meets it
    CornerStartSeen = 8,     // the stored face is an active face holding it
    CornerDirect = 16,       // corner normals written face by face: the vertex's
    CornerFaceSectors = 32,  // corner normals written face by face: the face's
};

// How a normal pass settles a vertex from the edge bits its faces gathered:
// CornerDirect when no sharp or open edge meets it (one sector, the
// normalised sum of its face normals), CornerFaceSectors when only sharp or
// open edges meet it (each corner the face's normal), 0 when it must be
// walked sector by sector.
inline std::uint8_t cornerSettling(std::uint32_t state) {
    if (!(state & (CornerOnSharpEdge | CornerOnOpenEdge))) return CornerDirect;
    if (!(state & CornerOnSmoothEdge)) return CornerFaceSectors;
    return 0;
}

// What the two edges at corner k (edges (k+1)%3 and (k+2)%3) of a face
// with these links and flags are, as CornerState bits: sharp, open (no
// neighbour), smooth (a neighbour across an unmarked edge).
inline std::uint8_t cornerEdges(const std::int32_t* links, std::uint8_t flags, int k, int faceCount) {
    std::uint8_t bits = 0;
    for (const int e : {k == 2 ? 0 : k + 1, k == 0 ? 2 : k - 1}) {
        const bool open = links[e] < 0 || links[e] >= faceCount;
        const bool sharp = (flags & MeshFace::SHARP[e]) != 0;
        if (sharp) bits |= CornerOnSharpEdge;
        if (open)
            bits |= CornerOnOpenEdge;
        else if (!sharp)
            bits |= CornerOnSmoothEdge;
    }
    return bits;
}
// The same for face F.
inline std::uint8_t cornerEdges(const MeshFace& F, int k, int faceCount) {
    return cornerEdges(F.f, F.flags, k, faceCount);
}
// A face with these links and flags has three neighbours and no sharp
// edge: it meets each of its vertices with smooth edges only.
inline bool plainFace(const std::int32_t* links, std::uint8_t flags, int faceCount) {
    return unsigned(links[0]) < unsigned(faceCount) && unsigned(links[1]) < unsigned(faceCount) &&
           unsigned(links[2]) < unsigned(faceCount) && (flags & MeshFace::SharpMask) == 0;
}

// What the record writer gathers of each vertex while it writes the faces,
// in one byte: what the vertex pass of initialize gathers (CornerState bits
// 0-3, faces counted up to 3 in bits 4-5). One byte a vertex keeps the
// gathering of a large mesh in the cache.
struct VertexSettling {
    std::uint8_t bits = 0;

    std::uint8_t state() const { return std::uint8_t(bits & 15u); }
    int corners() const { return bits >> 4; }
    // One more face at the vertex, meeting it with these CornerState bits.
    void add(std::uint8_t corner) {
        bits = std::uint8_t((bits | corner) + (bits < 3 * CountStep ? CountStep : 0));
    }

private:
    static constexpr std::uint8_t CountStep = 16;
};

}  // namespace qel
