// A mesh from a closed outline: the flat or inflated sheet over the region,
// optionally closed into a solid by a bottom (flat at z = 0, or the sheet
// mirrored about z = 0) joined to the sheet by walls along the outline.

#include "mesh/mesh.h"

#include "core/simple_polygon.h"
#include "gl/inflation_field.h"

#include <cstddef>

namespace qel {

namespace {

// The flat triangulation: one vertex per point at z = 0; points the outline
// flags sharp become sharp corners.
bool addFlatSheet(Mesh& m, const SimplePolygon& polygon, bool boundary, std::vector<int>& triangles) {
    std::vector<vec2> points;
    std::vector<bool> sharp;
    if (!polygon.triangulate(points, sharp, triangles, boundary)) return false;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const bool s = i < sharp.size() && sharp[i];
        m.vertexAdd(points[i].x, points[i].y, 0.0f, -1, s, s);
    }
    return true;
}

// The raster grid raised to the cushion of the level by the GPU height
// field; its sharp flags are not used.
bool addRaisedSheet(Mesh& m, const SimplePolygon& polygon, unsigned char level, std::vector<int>& triangles) {
    std::vector<vec3> points;
    std::vector<bool> sharp;
    if (polygon.triangulateU(points, sharp, triangles, level, 128.0f, InflationField::Compute) == SimplePolygon::InflateRefused) return false;
    for (const vec3& p : points) m.vertexAdd(p);
    return true;
}

// The solid steps of FromSimplePolygon: the bottom copy and the walls.
void closeSolid(Mesh& m, unsigned char profile, unsigned char solid) {
    // The sheet's sharp edges are exactly its open edges.
    for (int f = 0; f < m.faceCount(); ++f) {
        MeshFace& F = m.faces[f];
        if (!F.isActive()) continue;
        for (int k = 0; k < 3; ++k) F.setSharp(k, F.f[k] < 0);
    }
    m.initialize(Element::ResizeKeep);
    if (m.status != 0) return;

    const bool slabProfile = profile <= 1;  // flat sheets are lifted and keep sharp walls
    const int nV = m.vertexCount();
    const int nF = m.faceCount();
    const float top = m.size() / 20.0f;
    const std::uint8_t sharpCorner = MeshVertex::SharpBit | MeshVertex::CornerBit;
    for (int i = 0; i < nV; ++i) {
        MeshVertex& r = m.vertices[i];
        r.flags = std::uint8_t(r.flags & ~MeshVertex::BorderBit);
        if (slabProfile) r.position.z = top;
        if (profile == 3) r.flags = std::uint8_t(r.flags & ~(sharpCorner | MeshVertex::BorderBit));
        const vec3 p = r.position;
        MeshVertex copy(vec3(p.x, p.y, solid == 2 ? -p.z : 0.0f));
        if (slabProfile) copy.flags = std::uint8_t(copy.flags | (r.flags & sharpCorner));
        m.vertexAdd(copy);
    }

    for (int f = 0; f < nF; ++f) {
        const MeshFace F = m.faces[f];
        if (!F.isActive()) continue;
        // The bottom lists the top's corners in reverse: it faces down.
        const int bottom = m.faceAdd(F.v[2] + nV, F.v[1] + nV, F.v[0] + nV);
        for (int k = 0; k < 3; ++k) {
            if (F.f[k] >= 0) continue;
            const int a = F.v[(k + 1) % 3];
            const int b = F.v[(k + 2) % 3];
            if (slabProfile) {
                m.faces[bottom].setSharp(2 - k, true);
                m.facesAdd({b, a, a + nV, b + nV}, {true, m.vertices[a].isCorner(), true, m.vertices[b].isCorner()});
            } else if (profile == 3) {
                m.faces[f].setSharp(k, false);
                m.faceAdd(b, a, a + nV);
                m.faceAdd(b, a + nV, b + nV);
            } else {
                m.facesAdd({b, a, a + nV, b + nV}, {true, false, false, false});
            }
        }
    }
    m.initialize(Element::ResizeBox);
    m.smoothAll(true, true);
}

}  // namespace

Mesh Mesh::FromSimplePolygon(const SimplePolygon& polygon, bool boundary, unsigned char profile, unsigned char solid) {
    Mesh m;
    std::vector<int> triangles;
    const bool built = profile == 0 ? addFlatSheet(m, polygon, boundary, triangles)
                                    : addRaisedSheet(m, polygon, static_cast<unsigned char>(profile - 1), triangles);
    if (!built) {
        m.status = 1;
        return m;
    }
    for (std::size_t i = 0; i + 2 < triangles.size(); i += 3)
        m.faceAdd(triangles[i], triangles[i + 1], triangles[i + 2], false, false, false);
    m.initialize(ResizeBox);
    // A sheet whose connectivity could not be built is not closed further.
    if (m.status == 0 && (solid == 1 || solid == 2)) closeSolid(m, profile, solid);
    return m;
}

}  // namespace qel
