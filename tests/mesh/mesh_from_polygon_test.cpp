// Meshes from closed outlines without heights: the flat sheet, the slab and
// the mirrored body of the flat triangulation and of the flat raster grid,
// and refused outlines.

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <tuple>
#include <vector>

#include "core/geometry.h"
#include "core/simple_polygon.h"
#include "mesh/mesh.h"
#include "mesh_invariants_util.h"
#include "mesh_measure_util.h"

namespace {

using meshtest::checkMeshInvariants;
using namespace qel;

class MeshFromPolygon : public testing::Test {
protected:
    static void SetUpTestSuite() { InitExactPredicates(); }
};

SimplePolygon polygonOf(const std::vector<vec2>& points, bool sharp) {
    SimplePolygon p;
    p.points = points;
    p.sharp.assign(points.size(), sharp);
    return p;
}

SimplePolygon unitSquare(bool sharp) { return polygonOf({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, sharp); }

SimplePolygon disc(int n) {
    const double pi = 3.14159265358979323846;
    std::vector<vec2> points;
    for (int i = 0; i < n; ++i) points.emplace_back(float(std::cos(2 * pi * i / n)), float(std::sin(2 * pi * i / n)));
    return polygonOf(points, false);
}

// Sound and closed; the bottom of every top face lists its corners reversed,
// offset by half the vertex count.
void expectClosedMirroredBody(const Mesh& m) {
    EXPECT_EQ(checkMeshInvariants(m), "");
    EXPECT_TRUE(meshtest::isClosed(m));
    const int nV = m.vertexCount() / 2;
    std::set<std::tuple<int, int, int>> faces;
    for (int f = 0; f < m.faceCount(); ++f)
        for (int r = 0; r < 3; ++r)
            faces.insert({m.faces[f].v[r], m.faces[f].v[(r + 1) % 3], m.faces[f].v[(r + 2) % 3]});
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        if (F.v[0] < nV && F.v[1] < nV && F.v[2] < nV) {
            EXPECT_EQ(faces.count({F.v[2] + nV, F.v[1] + nV, F.v[0] + nV}), 1u) << f;
        }
    }
}

TEST_F(MeshFromPolygon, FlatSheetSlabAndMirroredBodyAndRefusedOutlines) {
    for (bool sharp : {false, true}) {
        SCOPED_TRACE(sharp);
        const Mesh m = Mesh::FromSimplePolygon(unitSquare(sharp), sharp, 0, 0);
        EXPECT_EQ(m.status, 0);
        EXPECT_EQ(checkMeshInvariants(m), "");
        EXPECT_NEAR(meshtest::surfaceArea(m), 1.0, 1e-6);
        EXPECT_EQ(meshtest::openEdgeCount(m), 4);
        for (int f = 0; f < m.faceCount(); ++f) EXPECT_NEAR(m.faces[f].normal.z, 1.0f, 1e-6f) << f;
        EXPECT_NEAR(m.centre.x, 0.5f, 1e-6f);  // centre and size of the bounding box
        EXPECT_NEAR(m.size(), std::sqrt(2.0f), 1e-6f);
        // Sharp outline points become corners; every rim point is sharp.
        int corners = 0;
        for (int v = 0; v < m.vertexCount(); ++v) {
            const vec3 p = m.vertices[v].position;
            EXPECT_EQ(p.z, 0.0f);
            if ((p.x == 0 || p.x == 1) && (p.y == 0 || p.y == 1)) {
                EXPECT_TRUE(m.vertices[v].isSharp());
                corners += m.vertices[v].isCorner() ? 1 : 0;
            }
        }
        EXPECT_EQ(corners, sharp ? 4 : 0);
    }
    // Outlines without area are refused.
    for (const SimplePolygon& p : {polygonOf({{0, 0}, {1, 0}}, false), polygonOf({{0, 0}, {1, 1}, {2, 2}}, false),
                                   polygonOf({{3, 3}, {3, 3}, {3, 3}, {3, 3}}, true)})
        for (unsigned char profile : {0, 1, 4})
            for (unsigned char solid : {0, 1, 2}) {
                const Mesh m = Mesh::FromSimplePolygon(p, true, profile, solid);
                EXPECT_EQ(m.vertexCount() + m.faceCount(), 0);
                EXPECT_EQ(m.status, 1);
            }

    // The slab lies between z = 0 and size / 20, the mirrored body as far
    // below; the rims and the vertical edges at the sharp corners are sharp.
    const Mesh sheet = Mesh::FromSimplePolygon(unitSquare(true), false, 0, 0);
    const float t = std::sqrt(2.0f) / 20.0f;  // size of the sheet / 20
    for (unsigned char solid : {1, 2}) {
        SCOPED_TRACE(int(solid));
        const Mesh m = Mesh::FromSimplePolygon(unitSquare(true), false, 0, solid);
        EXPECT_EQ(m.status, 0);
        expectClosedMirroredBody(m);
        EXPECT_EQ(m.faceCount(), 2 * sheet.faceCount() + 2 * 4);  // top, bottom, two per rim edge
        EXPECT_EQ(meshtest::sharpEdgeCount(m), 12);
        float lo = 0, hi = 0;
        meshtest::zRange(m, lo, hi);
        EXPECT_NEAR(lo, solid == 1 ? 0.0f : -t, 1e-6f);
        EXPECT_NEAR(hi, t, 1e-6f);
        EXPECT_NEAR(meshtest::enclosedVolume(m), t * solid, 1e-5);
    }
}

// Profile 1 meshes the raster grid without heights (no GPU work): a flat
// sheet of the disc's area, and closed bodies as thick as the triangulated
// ones.
TEST_F(MeshFromPolygon, RasterSheetAndItsBodies) {
    const double pi = 3.14159265358979323846;
    const Mesh sheet = Mesh::FromSimplePolygon(disc(72), true, 1, 0);
    EXPECT_EQ(sheet.status, 0);
    EXPECT_EQ(checkMeshInvariants(sheet), "");
    const double area = meshtest::surfaceArea(sheet);
    EXPECT_NEAR(area, pi, 0.01 * pi);
    for (unsigned char solid : {1, 2}) {
        SCOPED_TRACE(int(solid));
        const Mesh body = Mesh::FromSimplePolygon(disc(72), true, 1, solid);
        expectClosedMirroredBody(body);
        const double thickness = sheet.size() / 20.0 * solid;  // the final smoothing rounds the rim a little
        EXPECT_NEAR(meshtest::enclosedVolume(body), area * thickness, 0.05 * area * thickness);
    }
}

}  // namespace
