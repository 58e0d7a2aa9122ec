#pragma once
// The writers of the mesh's buffer contents, shared by the whole refills
// (mesh_vbo.cpp) and the refills of marked faces (mesh_vbo_ranges.cpp), so
// that both write the same bytes: per face, its three corners' position,
// normal (three half floats) and paint, and the points of its feature
// segments.

#include <cstdint>
#include <cstring>
#include <vector>

#include "mesh/half_float.h"
#include "mesh/mesh.h"

namespace qel {
namespace vbofill {

// Bytes per vertex of each array, in buffer order: position, normal, colour,
// light, material, face id.
constexpr std::uint64_t ArrayBytes[6] = {12, 6, 4, 4, 4, 4};
constexpr std::uint64_t VertexBytes = 34;
// Bytes per feature segment: two points of three floats.
constexpr std::uint64_t SegmentBytes = 24;

// The position of vertex v, the origin for an index outside the list (a
// face naming a missing vertex must not make the fill read out of bounds).
inline const vec3& cornerPosition(const Mesh::VertexList& vertices, std::int32_t v) {
    static const vec3 origin(0, 0, 0);
    return std::uint32_t(v) < vertices.size() ? vertices[std::uint32_t(v)].position : origin;
}

// The three corner positions of F (36 bytes); returns the end.
inline std::uint8_t* writePositions(const Mesh::VertexList& vertices, const MeshFace& F, std::uint8_t* dst) {
    for (int c = 0; c < 3; ++c) {
        std::memcpy(dst, &cornerPosition(vertices, F.v[c]), 12);
        dst += 12;
    }
    return dst;
}

// The feature segments of F under its mask, edge by edge: edge k runs from
// corner (k+2)%3 to corner (k+1)%3.
inline void appendFeatures(const Mesh::VertexList& vertices, const MeshFace& F, std::uint8_t mask,
                           std::vector<vec3>& lines) {
    for (int k = 0; k < 3; ++k) {
        if (!(mask & (1 << k))) continue;
        lines.push_back(cornerPosition(vertices, F.v[prevK(k)]));
        lines.push_back(cornerPosition(vertices, F.v[nextK(k)]));
    }
}

// The three corner normals of F as half floats (18 bytes); returns the end.
inline std::uint8_t* writeNormals(const MeshFace& F, std::uint8_t* dst) {
    for (int c = 0; c < 3; ++c) dst = writeHalf3(dst, F.normals[c]);
    return dst;
}

// The paint of F's three corners into the colour, light and material
// arrays (12 bytes each); each pointer moves past what it received.
inline void writePaint(const MeshFace& F, std::uint8_t*& colour, std::uint8_t*& light, std::uint8_t*& material) {
    for (int c = 0; c < 3; ++c) {
        const pbr& p = F.material[c];
        for (int i = 0; i < 4; ++i) {
            colour[i] = std::uint8_t(p.colour[i] >> 8);
            light[i] = std::uint8_t(p.light[i] >> 8);
        }
        const std::int16_t rm[2] = {p.roughness, p.metalness};
        std::memcpy(material, rm, 4);
        colour += 4;
        light += 4;
        material += 4;
    }
}

// One paint array of one corner's material p (4 bytes): part 0 the
// colour's high bytes, 1 the light's, 2 roughness and metalness.
inline void writePaintCorner(const pbr& p, int part, std::uint8_t* dst) {
    if (part == 2) {
        const std::int16_t rm[2] = {p.roughness, p.metalness};
        std::memcpy(dst, rm, 4);
    } else {
        const wvec4& w = part == 0 ? p.colour : p.light;
        for (int i = 0; i < 4; ++i) dst[i] = std::uint8_t(w[i] >> 8);
    }
}

// One paint array of F's three corners (12 bytes, writePaintCorner);
// returns the end.
inline std::uint8_t* writePaintPart(const MeshFace& F, int part, std::uint8_t* dst) {
    for (int c = 0; c < 3; ++c) {
        writePaintCorner(F.material[c], part, dst);
        dst += 4;
    }
    return dst;
}

}  // namespace vbofill
}  // namespace qel
