// Meshes from closed outlines without heights: the flat sheet, the slab and
// the mirrored body of the flat triangulation and of the flat raster grid,
// and refused outlines.

#include "mesh/mesh.h"

#include "core/geometry.h"
#include "core/simple_polygon.h"
#include "mesh_invariants_util.h"
#include "mesh_measure_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <tuple>
#include <vector>

namespace {

using meshtest::checkMeshInvariants;
using qel::Mesh;
using qel::MeshFace;
using qel::MeshVertex;
using qel::SimplePolygon;
using qel::vec2;
using qel::vec3;

constexpr double kPi = 3.14159265358979323846;

class MeshFromPolygon : public testing::Test {
protected:
    static void SetUpTestSuite() { qel::InitExactPredicates(); }
};

SimplePolygon polygonOf(const std::vector<vec2>& points, bool sharp) {
    SimplePolygon p;
    p.points = points;
    p.sharp.assign(points.size(), sharp);
    return p;
}

SimplePolygon unitSquare(bool sharp) { return polygonOf({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, sharp); }

SimplePolygon disc(float radius, int n) {
    std::vector<vec2> pts;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * kPi * i / n;
        pts.emplace_back(float(radius * std::cos(t)), float(radius * std::sin(t)));
    }
    return polygonOf(pts, false);
}

vec3 faceNormal(const Mesh& m, const MeshFace& F) {
    const vec3 a = m.vertices[F.v[0]].position;
    return qel::cross(m.vertices[F.v[1]].position - a, m.vertices[F.v[2]].position - a);
}

int vertexIndexAt(const Mesh& m, float x, float y) {
    for (int v = 0; v < m.vertexCount(); ++v)
        if (m.vertices[v].position.x == x && m.vertices[v].position.y == y) return v;
    return -1;
}

TEST_F(MeshFromPolygon, FlatSheetCoversTheOutlineFacingUp) {
    for (bool boundary : {false, true}) {
        SCOPED_TRACE(boundary);
        const Mesh m = Mesh::FromSimplePolygon(unitSquare(true), boundary, 0, 0);
        EXPECT_EQ(m.status, 0);
        ASSERT_GT(m.faceCount(), 0);
        EXPECT_EQ(checkMeshInvariants(m), "");
        EXPECT_NEAR(meshtest::surfaceArea(m), 1.0, 1e-6);
        EXPECT_GT(meshtest::openEdgeCount(m), 0);
        for (int v = 0; v < m.vertexCount(); ++v) EXPECT_EQ(m.vertices[v].position.z, 0.0f);
        for (int f = 0; f < m.faceCount(); ++f) {
            EXPECT_GT(faceNormal(m, m.faces[f]).z, 0.0f) << "face " << f;
            EXPECT_NEAR(m.faces[f].normal.z, 1.0f, 1e-6f);
        }
        // Centre and size of the bounding box.
        EXPECT_NEAR(m.centre.x, 0.5f, 1e-6f);
        EXPECT_NEAR(m.centre.y, 0.5f, 1e-6f);
        EXPECT_NEAR(m.size(), std::sqrt(2.0f), 1e-6f);
    }
}

TEST_F(MeshFromPolygon, SharpOutlinePointsBecomeCorners) {
    for (bool sharp : {true, false}) {
        const Mesh m = Mesh::FromSimplePolygon(unitSquare(sharp), false, 0, 0);
        for (const vec2 c : {vec2(0, 0), vec2(1, 0), vec2(1, 1), vec2(0, 1)}) {
            const int v = vertexIndexAt(m, c.x, c.y);
            ASSERT_GE(v, 0);
            EXPECT_TRUE(m.vertices[v].isSharp());  // on the open rim
            EXPECT_EQ(m.vertices[v].isCorner(), sharp) << c.x << ", " << c.y;
        }
    }
}

TEST_F(MeshFromPolygon, OutlinesWithoutAreaGiveAnEmptyMeshWithFailureStatus) {
    const std::vector<SimplePolygon> bad = {polygonOf({{0, 0}, {1, 0}}, false),
                                            polygonOf({{0, 0}, {1, 1}, {2, 2}}, false),
                                            polygonOf({{3, 3}, {3, 3}, {3, 3}, {3, 3}}, true)};
    for (const SimplePolygon& p : bad)
        for (unsigned char profile : {0, 1, 4})
            for (unsigned char solid : {0, 1, 2}) {
                const Mesh m = Mesh::FromSimplePolygon(p, true, profile, solid);
                EXPECT_EQ(m.vertexCount(), 0);
                EXPECT_EQ(m.faceCount(), 0);
                EXPECT_EQ(m.status, 1);
            }
}

TEST_F(MeshFromPolygon, OtherSolidValuesGiveTheSheet) {
    const Mesh sheet = Mesh::FromSimplePolygon(unitSquare(true), true, 0, 0);
    for (unsigned char solid : {3, 7, 255}) {
        const Mesh m = Mesh::FromSimplePolygon(unitSquare(true), true, 0, solid);
        EXPECT_EQ(m.vertexCount(), sheet.vertexCount());
        EXPECT_EQ(m.faceCount(), sheet.faceCount());
        EXPECT_GT(meshtest::openEdgeCount(m), 0);
    }
}

TEST_F(MeshFromPolygon, SlabIsClosedBoxWithSharpRims) {
    const Mesh sheet = Mesh::FromSimplePolygon(unitSquare(true), false, 0, 0);
    const int rim = meshtest::openEdgeCount(sheet);
    const Mesh m = Mesh::FromSimplePolygon(unitSquare(true), false, 0, 1);
    EXPECT_EQ(m.status, 0);
    EXPECT_EQ(checkMeshInvariants(m), "");
    EXPECT_TRUE(meshtest::isClosed(m));
    // Top, bottom and one two-triangle wall per rim edge.
    EXPECT_EQ(m.faceCount(), 2 * sheet.faceCount() + 2 * rim);
    EXPECT_EQ(m.vertexCount(), 2 * sheet.vertexCount());
    // The rims at top and bottom and the four vertical corner edges.
    EXPECT_EQ(rim, 4);
    EXPECT_EQ(meshtest::sharpEdgeCount(m), 12);

    const float thickness = std::sqrt(2.0f) / 20.0f;  // size of the sheet / 20
    float lo = 0, hi = 0;
    meshtest::zRange(m, lo, hi);
    EXPECT_FLOAT_EQ(lo, 0.0f);
    EXPECT_NEAR(hi, thickness, 1e-6f);
    EXPECT_NEAR(meshtest::enclosedVolume(m), 1.0 * thickness, 1e-6);
}

// The bottom of every top face lists its corners reversed, offset by nV.
void expectMirroredBottoms(const Mesh& m) {
    const int nV = m.vertexCount() / 2;
    std::set<std::tuple<int, int, int>> faces;
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        for (int r = 0; r < 3; ++r) faces.insert({F.v[r], F.v[(r + 1) % 3], F.v[(r + 2) % 3]});
    }
    int tops = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        if (F.v[0] >= nV || F.v[1] >= nV || F.v[2] >= nV) continue;
        ++tops;
        EXPECT_EQ(faces.count({F.v[2] + nV, F.v[1] + nV, F.v[0] + nV}), 1u) << "face " << f;
    }
    EXPECT_GT(tops, 0);
}

TEST_F(MeshFromPolygon, MirroredBodyIsClosedAndSymmetric) {
    const Mesh m = Mesh::FromSimplePolygon(unitSquare(true), true, 0, 2);
    EXPECT_EQ(checkMeshInvariants(m), "");
    EXPECT_TRUE(meshtest::isClosed(m));
    expectMirroredBottoms(m);

    const float half = std::sqrt(2.0f) / 20.0f;
    float lo = 0, hi = 0;
    meshtest::zRange(m, lo, hi);
    EXPECT_NEAR(hi, half, 1e-6f);
    EXPECT_NEAR(lo, -half, 1e-6f);
    EXPECT_NEAR(meshtest::enclosedVolume(m), 2.0 * half, 1e-5);
    // Every vertex has its mirror image.
    const int nV = m.vertexCount() / 2;
    for (int v = 0; v < nV; ++v) {
        const vec3 a = m.vertices[v].position, b = m.vertices[v + nV].position;
        EXPECT_NEAR(a.x, b.x, 1e-5f);
        EXPECT_NEAR(a.y, b.y, 1e-5f);
        EXPECT_NEAR(a.z, -b.z, 1e-5f);
    }
}

TEST_F(MeshFromPolygon, FlatGridSlabAndBodyAreClosed) {
    // Profile 1 meshes the raster grid without heights: no GPU work.
    const float R = 1.0f;
    const Mesh sheet = Mesh::FromSimplePolygon(disc(R, 72), true, 1, 0);
    ASSERT_GT(sheet.faceCount(), 0);
    EXPECT_EQ(checkMeshInvariants(sheet), "");
    EXPECT_NEAR(meshtest::surfaceArea(sheet), kPi * R * R, 0.01 * kPi);
    for (int f = 0; f < sheet.faceCount(); ++f) EXPECT_GE(faceNormal(sheet, sheet.faces[f]).z, 0.0f);
    const double area = meshtest::surfaceArea(sheet);

    for (unsigned char solid : {1, 2}) {
        SCOPED_TRACE(int(solid));
        const Mesh m = Mesh::FromSimplePolygon(disc(R, 72), true, 1, solid);
        EXPECT_EQ(checkMeshInvariants(m), "");
        EXPECT_TRUE(meshtest::isClosed(m));
        expectMirroredBottoms(m);
        // The final smoothing rounds the rim a little.
        const double thickness = sheet.size() / 20.0 * solid;
        EXPECT_NEAR(meshtest::enclosedVolume(m), area * thickness, 0.05 * area * thickness);
    }
}

}  // namespace
