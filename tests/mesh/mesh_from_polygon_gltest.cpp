// Meshes from closed outlines raised into cushions on the GPU: the cushion
// sheet, the closed bodies built from it and their sharp edges.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/simple_polygon.h"
#include "gl/resources.h"
#include "mesh/mesh.h"
#include "mesh_invariants_util.h"
#include "mesh_measure_util.h"

namespace {

using meshtest::checkMeshInvariants;
using namespace qel;

constexpr double kPi = 3.14159265358979323846;

class CushionMesh : public testing::Test {
protected:
    static void SetUpTestSuite() { initShaderResources(); }
};

SimplePolygon disc(float radius, int n) {
    SimplePolygon p;
    for (int i = 0; i < n; ++i)
        p.points.emplace_back(float(radius * std::cos(2 * kPi * i / n)), float(radius * std::sin(2 * kPi * i / n)));
    p.sharp.assign(p.points.size(), false);
    return p;
}

TEST_F(CushionMesh, BallProfileRaisesAHemisphereAndItsMirrorABall) {
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
    for (int f = 0; f < m.faceCount(); ++f) EXPECT_GE(m.faces[f].normal.z, 0.0f) << "face " << f;

    const Mesh ball = Mesh::FromSimplePolygon(disc(1.0f, 120), true, 2, 2);
    EXPECT_EQ(ball.status, 0);
    EXPECT_EQ(checkMeshInvariants(ball), "");
    EXPECT_TRUE(meshtest::isClosed(ball));
    meshtest::zRange(ball, lo, hi);
    EXPECT_NEAR(hi, -lo, 1e-4f);
    EXPECT_NEAR(hi, 1.0f, 0.05f);
    EXPECT_NEAR(meshtest::enclosedVolume(ball), 4.0 / 3.0 * kPi,
                0.05 * 4.0 / 3.0 * kPi);  // smoothing shrinks it a little
}

TEST_F(CushionMesh, SlabsKeepOnlyTheTopRimSharpChamferBodiesNone) {
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

    for (unsigned char solid : {1, 2}) {
        SCOPED_TRACE(int(solid));
        const Mesh c = Mesh::FromSimplePolygon(p, true, 3, solid);
        EXPECT_EQ(checkMeshInvariants(c), "");
        EXPECT_TRUE(meshtest::isClosed(c));
        EXPECT_EQ(meshtest::sharpEdgeCount(c), 0);
        EXPECT_GT(meshtest::enclosedVolume(c), 0.0);
    }
}

}  // namespace
