// Meshes from closed outlines raised into cushions on the GPU: the cushion
// sheet, the closed bodies built from it and their sharp edges.

#include "mesh/mesh.h"

#include "core/simple_polygon.h"
#include "gl/resources.h"
#include "mesh_invariants_util.h"
#include "mesh_measure_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using meshtest::checkMeshInvariants;
using qel::Mesh;
using qel::SimplePolygon;
using qel::vec3;

constexpr double kPi = 3.14159265358979323846;

class CushionMesh : public testing::Test {
protected:
    static void SetUpTestSuite() { qel::initShaderResources(); }
};

SimplePolygon disc(float radius, int n) {
    SimplePolygon p;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * kPi * i / n;
        p.points.emplace_back(float(radius * std::cos(t)), float(radius * std::sin(t)));
    }
    p.sharp.assign(p.points.size(), false);
    return p;
}

TEST_F(CushionMesh, BallProfileRaisesAHemisphereOverTheDisc) {
    const float R = 1.5f;
    const Mesh m = Mesh::FromSimplePolygon(disc(R, 120), true, 2, 0);
    EXPECT_EQ(m.status, 0);
    ASSERT_GT(m.faceCount(), 0);
    EXPECT_EQ(checkMeshInvariants(m), "");
    float lo = 0, hi = 0;
    meshtest::zRange(m, lo, hi);
    EXPECT_EQ(lo, 0.0f);
    EXPECT_NEAR(hi / R, 1.0f, 0.03f);
    for (int v = 0; v < m.vertexCount(); ++v)
        if (m.vertices[v].isBorder()) {
            EXPECT_EQ(m.vertices[v].position.z, 0.0f) << "rim vertex " << v;
        }
    // The cushion faces up everywhere.
    for (int f = 0; f < m.faceCount(); ++f) EXPECT_GE(m.faces[f].normal.z, 0.0f) << "face " << f;
}

TEST_F(CushionMesh, MirroredBallCushionIsAClosedBall) {
    const float R = 1.0f;
    const Mesh m = Mesh::FromSimplePolygon(disc(R, 120), true, 2, 2);
    EXPECT_EQ(m.status, 0);
    EXPECT_EQ(checkMeshInvariants(m), "");
    EXPECT_TRUE(meshtest::isClosed(m));
    float lo = 0, hi = 0;
    meshtest::zRange(m, lo, hi);
    EXPECT_NEAR(hi, -lo, 1e-4f);
    EXPECT_NEAR(hi, R, 0.05f);
    // The smoothing shrinks the ball a little.
    EXPECT_NEAR(meshtest::enclosedVolume(m), 4.0 / 3.0 * kPi * R * R * R, 0.05 * 4.0 / 3.0 * kPi);
}

TEST_F(CushionMesh, SlabsOfCushionsKeepOnlyTheTopRimSharp) {
    const SimplePolygon p = disc(1.0f, 90);
    const Mesh sheet = Mesh::FromSimplePolygon(p, true, 5, 0);
    const int rim = meshtest::openEdgeCount(sheet);
    ASSERT_GT(rim, 0);
    const Mesh m = Mesh::FromSimplePolygon(p, true, 5, 1);
    EXPECT_EQ(checkMeshInvariants(m), "");
    EXPECT_TRUE(meshtest::isClosed(m));
    EXPECT_EQ(m.faceCount(), 2 * sheet.faceCount() + 2 * rim);
    EXPECT_EQ(meshtest::sharpEdgeCount(m), rim);
    float lo = 0, hi = 0;
    meshtest::zRange(m, lo, hi);
    EXPECT_GE(lo, -1e-6f);
    EXPECT_GT(hi, 0.5f);
    EXPECT_GT(meshtest::enclosedVolume(m), 0.0);
}

TEST_F(CushionMesh, ChamferProfileBodiesHaveNoSharpEdges) {
    const SimplePolygon p = disc(1.0f, 90);
    for (unsigned char solid : {1, 2}) {
        SCOPED_TRACE(int(solid));
        const Mesh m = Mesh::FromSimplePolygon(p, true, 3, solid);
        EXPECT_EQ(checkMeshInvariants(m), "");
        EXPECT_TRUE(meshtest::isClosed(m));
        EXPECT_EQ(meshtest::sharpEdgeCount(m), 0);
        EXPECT_GT(meshtest::enclosedVolume(m), 0.0);
    }
}

}  // namespace
