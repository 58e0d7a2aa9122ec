#pragma once
// The mesh's records. qel::MeshVertex and qel::MeshFace are plain
// records (trivially copyable, no heap members) kept by index in the mesh's
// two RecordVectors. Edge k of a face is the edge opposite corner k: it joins
// v[(k+1)%3] and v[(k+2)%3], and f[k] is the face across it (-1: open edge).
//
// Also the scratch records of the sculpting operations, which the
// mesh keeps in its scratch lists: MeshInfluence and MeshSectorInfluence.

#include <cstdint>
#include <utility>

#include "core/vec.h"
#include "gl/pbr.h"

namespace qel {

class buffer;

// Corner arithmetic of a triangle: the next corner (k+1)%3 and the previous
// corner (k+2)%3.
inline int nextK(int k) { return k == 2 ? 0 : k + 1; }
inline int prevK(int k) { return k == 0 ? 2 : k - 1; }

struct MeshVertex {
    // Flag bits.
    enum Flag : std::uint8_t {
        SharpBit = 1,     // on at least one sharp edge or an open border
        CornerBit = 2,    // ends or joins feature lines
        BorderBit = 4,    // on an open edge
        ActiveBit = 8,    // the record is alive
        SelectedBit = 16, // selected (selection holds its list position)
    };

    vec3 position{0, 0, 0};      // in the mesh's own coordinates
    std::int32_t face = -1;       // one face using the vertex (start of its walks), -1 none
    std::int32_t selection = -1;  // position on selectedVertices, -1 when not selected
    std::uint8_t flags = ActiveBit;

    // A new vertex: active, face -1, selection -1.
    constexpr MeshVertex() = default;
    constexpr explicit MeshVertex(const vec3& p, std::int32_t face_ = -1, std::uint8_t flags_ = ActiveBit)
        : position(p), face(face_), selection(-1), flags(flags_) {}

    bool isActive() const { return (flags & ActiveBit) != 0; }
    bool isSharp() const { return (flags & SharpBit) != 0; }
    bool isCorner() const { return (flags & CornerBit) != 0; }
    bool isBorder() const { return (flags & BorderBit) != 0; }
    bool isSelected() const { return (flags & SelectedBit) != 0; }

    // Appends the 13-byte vertex record of the mesh record: x, y, z (f32),
    // the flags byte without the selected bit.
    void write(buffer& b) const;
};

struct MeshFace {
    // Sharp bit of edge k (bits 0-2).
    static constexpr std::uint8_t SHARP[3] = {1, 2, 4};
    // Further flag bits.
    enum Flag : std::uint8_t {
        SharpMask = 7,     // the three edge bits
        ActiveBit = 8,     // the record is alive
        SelectedBit = 16,  // selected
        VisitedBit = 32,   // visited mark of correctOrientation (cleared with bit 4 by deselectAll)
        MarkBit = 64,      // mark of the sculpting operations
    };

    std::int32_t v[3] = {-1, -1, -1};  // corners, counter-clockwise seen from the front
    std::int32_t f[3] = {-1, -1, -1};  // f[k]: face across edge k, -1 open
    vec3 normal{0, 0, 0};              // unit face normal
    vec3 normals[3];                   // corner normals used for drawing
    pbr material[3];                   // corner materials (default material)
    std::uint8_t flags = ActiveBit;

    // A new face: no corners, no links, zero normals, default materials, active.
    constexpr MeshFace() = default;
    // An active face (a, b, c) with neighbours -1 and the given sharp edges.
    MeshFace(std::int32_t a, std::int32_t b, std::int32_t c, bool sharp0 = false, bool sharp1 = false,
             bool sharp2 = false)
        : v{a, b, c},
          flags(std::uint8_t(ActiveBit | (sharp0 ? 1 : 0) | (sharp1 ? 2 : 0) | (sharp2 ? 4 : 0))) {}
    // The same with the three neighbour links given.
    MeshFace(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t f0, std::int32_t f1, std::int32_t f2,
             bool sharp0, bool sharp1, bool sharp2)
        : v{a, b, c},
          f{f0, f1, f2},
          flags(std::uint8_t(ActiveBit | (sharp0 ? 1 : 0) | (sharp1 ? 2 : 0) | (sharp2 ? 4 : 0))) {}

    bool isActive() const { return (flags & ActiveBit) != 0; }
    bool isSelected() const { return (flags & SelectedBit) != 0; }
    // Edge k carries the sharp mark (k in 0..2).
    bool isSharp(int k) const { return (flags & SHARP[k]) != 0; }
    void setSharp(int k, bool sharp) {
        if (sharp)
            flags = std::uint8_t(flags | SHARP[k]);
        else
            flags = std::uint8_t(flags & ~SHARP[k]);
    }
    // Turns the face over: swaps corners 0 and 2 with their vertices, the
    // links and sharp marks of edges 0 and 2, the corner materials and
    // corner normals (so that a corner normal stays with its vertex).
    void turnOver() {
        std::swap(v[0], v[2]);
        std::swap(f[0], f[2]);
        const bool s0 = isSharp(0);
        setSharp(0, isSharp(2));
        setSharp(2, s0);
        std::swap(material[0], material[2]);
        std::swap(normals[0], normals[2]);
    }
    // The corner k with v[k] == vertex (the first one), -1 when the face
    // does not hold the vertex.
    int corner(std::int32_t vertex) const {
        return v[0] == vertex ? 0 : v[1] == vertex ? 1 : v[2] == vertex ? 2 : -1;
    }
    // The edge k whose link is face g (the first one), -1 when none.
    int edgeTo(std::int32_t g) const { return f[0] == g ? 0 : f[1] == g ? 1 : f[2] == g ? 2 : -1; }

    // Writes corner k from mk under the material channel mask (bit 0 colour
    // RGB, 1 light RGB, 2 roughness, 3 metalness, 4 colour alpha, 5 light
    // alpha); roughness and metalness are clamped to [-32766, 32766].
    void setMaterial(const pbr& m0, const pbr& m1, const pbr& m2, int mask) {
        const unsigned char m = static_cast<unsigned char>(mask);
        material[0].assign(m0, m);
        material[1].assign(m1, m);
        material[2].assign(m2, m);
    }

    // Face records of the mesh record (no bounds checks of their own; a short
    // buffer reads zeros and sets its failure flag). write appends the
    // 73-byte record: per corner the u32 vertex index and the 20-byte
    // material, then the flags byte without its transient marks (sharp
    // edges and active bit only, as read also keeps them). read takes
    // corners, materials and flags from the layout of FILE_VERSION (readOld up to
    // Mesh::LastOldFaceVersion); links and normals are left as they are.
    // readOld takes the 41-byte record of old files: per corner the index
    // and four 8-bit colour and light channels (each the high byte of the
    // 16-bit channel; roughness and metalness 0), four ignored bytes, flags.
    void write(buffer& b) const;
    void read(buffer& b);
    void readOld(buffer& b);
};

// Influence record of a brush selection: vertex, relative distance
// t from the brush centre, offset vector.
struct MeshInfluence {
    std::int32_t vertex = -1;
    float t = 0.0f;
    vec3 offset{0, 0, 0};
};

// Vertex-and-sector record of a patch selection: vertex, the first
// face of its sharp-bounded sector, the next record of the same vertex (-1
// ends the chain), t, and seven reserved words.
struct MeshSectorInfluence {
    std::int32_t vertex = -1;
    std::int32_t sector = -1;
    std::int32_t next = -1;
    float t = 0.0f;
    std::int32_t reserved[7] = {0, 0, 0, 0, 0, 0, 0};
};

}  // namespace qel
