#pragma once
// The processor side of a swept surface (qel::Tube, qel::Revoluton): the
// grid of surface points, the corner normals, materials and pick ids of
// the mesh program's six attribute blocks, and the feature lines. Nothing
// here calls GL: the buffer code maps a range of the GL buffer and hands it
// to fillSweptSurface, and the conversion to a mesh uses sweptGrid alone.
//
// Terms: the carrier curve is swept, the cross-section curve is laid at
// each of its vertices (tube: path and profile; revoluton: profile and
// section). Grid point (j, i) is carrier vertex j combined with
// cross-section vertex i, entry j x V + i of a flat array, V = number of
// cross-section vertex records (inactive ones included).
//
// Surface layout for n vertices (6 per quad, two independent triangles
// (a, b, d) and (a, d, c)), blocks back to back in the order of the mesh
// program's attributes:
//   0 positions  3 f32          12 n bytes at 0
//   1 normals    3 half floats   6 n bytes at 12 n
//   2 colour     4 u8 (high bytes of the material's colour)  at 18 n
//   3 light      4 u8 (high bytes of the material's light)   at 22 n
//   4 material   2 i16 (roughness, metalness)                at 26 n
//   5 id         u32 (carrier edge << 16) + cross-section edge at 30 n
// 34 n bytes in all. Quads run over the active carrier edges e in array
// order and, inside, the active cross-section edges f in array order, with
// the corners a = (e.v0, f.v0), b = (e.v0, f.v1), c = (e.v1, f.v0),
// d = (e.v1, f.v1).

#include <cstdint>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "gl/pbr.h"

namespace qel {

class Curve;

enum class SweptKind { Tube, Revoluton };

// Bytes per surface vertex of each block, in block order, and in all.
constexpr std::uint64_t SweptBlockBytes[6] = {12, 6, 4, 4, 4, 4};
constexpr std::uint64_t SweptVertexBytes = 34;
// The largest surface accepted: its vertex count fits 32 bits and its
// buffer 2 GiB; its grid (12 bytes a point) also stays within 2 GiB.
constexpr std::uint64_t SweptMaxBytes = std::uint64_t(1) << 31;

// The most vertices one element's surface is built with (about 140 MB of
// buffer): a larger surface is left out of the drawing, whatever asked for
// it, a file's first frame or an edit.
constexpr std::uint64_t SweptMaxVertices = std::uint64_t(1) << 22;
// What a build costs for each vertex of the surface beyond its buffer: the
// grid point and face normal it shares with its quad (12 bytes each per six
// vertices), with room for the feature lines.
constexpr std::uint64_t SweptBuildBytesPerVertex = SweptVertexBytes + 6;

// Byte offset of block k (0..5) in the surface of n vertices.
std::uint64_t sweptBlockOffset(int k, std::uint64_t n);

// The blocks a fill writes: positions (with the feature lines), normals,
// materials (colour, light and material blocks together) and ids.
struct SweptRefill {
    bool positions = true;
    bool normals = true;
    bool materials = true;
    bool ids = true;
    bool any() const { return positions || normals || materials || ids; }
};

// The two curves of a surface and the rule that places their points.
struct SweptShape {
    SweptKind kind = SweptKind::Tube;
    const Curve* carrier = nullptr;
    const Curve* section = nullptr;
};

// Tube rule: F L evaluated in double precision and rounded to float, then
// the carrier vertex's position added (F: the path's vertexFrame, stored
// row by row; L: the cross-section point in that curve's own frame).
inline vec3 tubeGridPoint(const mat3& F, const vec3& position, const vec3& L) {
    double p[3];
    for (int r = 0; r < 3; ++r) p[r] = double(F.at(r, 0)) * L.x + double(F.at(r, 1)) * L.y + double(F.at(r, 2)) * L.z;
    return vec3(float(p[0]), float(p[1]), float(p[2])) + position;
}
// Revoluton rule for profile vertex p = (x, y, z) and section point
// L = (u, v, w): with r = sqrt(x^2 + z^2), (u x - v z, y + w r, u z + v x),
// evaluated in double precision. The frame is radial (x, 0, z), tangential
// (-z, 0, x) and axial (0, r, 0), all of length r: a unit circle section
// turns p about the Y axis, and a p on the axis gives one point.
vec3 revolutonGridPoint(const vec3& p, const vec3& L);

// Fills grid with carrierVertices x V points: entry j x V + i is the point
// of active carrier vertex j and active cross-section vertex i, every other
// entry (0, 0, 0). The cross-section point is section.toLocal(position).
// A tube's path must have its sweep frames computed
// (calculateOrientations); a revoluton ignores the profile's radii and
// twists. The caller checks the size first (sweptSurfaceSize).
void sweptGrid(const SweptShape& shape, std::vector<vec3>& grid);

// The vertex count n of the surface: 6 x active carrier edges x active
// cross-section edges. False when n would not fit 32 bits, its 34 n bytes
// would pass SweptMaxBytes or the grid's 12-byte points would; nothing is
// allocated by the question.
bool sweptSurfaceSize(const SweptShape& shape, std::uint32_t& n);

// The vertices of the surface (6 x active carrier edges x active
// cross-section edges, capped at what 64 bits hold) and the bytes a build
// of it makes: the buffer, the grid of carrier x cross-section vertex
// records and the working arrays. Nothing is allocated by the question.
void sweptSurfaceCost(const SweptShape& shape, std::uint64_t& vertices, std::uint64_t& bytes);

// Working arrays of a fill, kept by the caller between fills so that a
// refill allocates nothing once they have grown.
struct SweptScratch {
    // An active edge as the fill walks it: its index, its vertices, the
    // ranks (among the active edges) of the neighbours whose faces its
    // corner normals take in (-1 across a sharp end or at a chain end), and
    // whether each end draws a feature line.
    struct Edge {
        std::int32_t index = -1;
        std::int32_t v[2] = {-1, -1};
        std::int32_t smooth[2] = {-1, -1};
        bool feature[2] = {false, false};
    };
    std::vector<Edge> carrier;           // the active carrier edges in array order
    std::vector<Edge> section;           // the active cross-section edges
    std::vector<std::int32_t> rank;      // edge index -> active rank, while the tables are made
    std::vector<vec3> grid;              // the grid of the last geometry fill
    std::vector<vec3> faceNormals;       // per quad (carrier rank x section count + section rank)
    std::vector<vec3> lines;             // feature points of the last position fill, in pairs
    std::vector<std::uint8_t> paintRow;  // colour, light and material runs of one row of quads
    pbr paintKey[2];                     // the carrier end materials paintRow was made for
    bool paintRowValid = false;
};

// Writes the blocks asked for of the surface of n vertices (n from
// sweptSurfaceSize): span holds the bytes of the surface from byte offset
// spanStart on, and must cover every block asked for. A position fill also
// refills scratch.lines with the feature segments: the ring of a carrier
// vertex and the seam of a cross-section vertex where the edge is sharp or
// the chain ends, each emitted once by the higher-indexed edge of the two
// meeting there (open ends always). Normals are smooth across joints
// (each corner sums the face normals of the quads around it whose edges
// join without a sharp end), normalised when their squared length exceeds
// 1e-20. A tube's path must have its sweep frames computed.
void fillSweptSurface(const SweptShape& shape, std::uint32_t n, const SweptRefill& refill, SweptScratch& scratch,
                      std::uint8_t* span, std::uint64_t spanStart);

}  // namespace qel
