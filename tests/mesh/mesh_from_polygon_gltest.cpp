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

using namespace qel;

constexpr double kPi = 3.14159265358979323846;

SimplePolygon disc(float radius, int n) {
    SimplePolygon p;
    for (int i = 0; i < n; ++i)
        p.points.emplace_back(float(radius * std::cos(2 * kPi * i / n)), float(radius * std::sin(2 * kPi * i / n)));
    p.sharp.assign(p.points.size(), false);
    return p;
}

// Sound, closed and positive; returns the lowest and highest z.
std::pair<float, float> closedBody(const Mesh& m) {
    EXPECT_EQ(meshtest::checkMeshInvariants(m), "");
    EXPECT_TRUE(meshtest::isClosed(m));
    EXPECT_GT(meshtest::enclosedVolume(m), 0.0);
    float lo = 0, hi = 0;
    meshtest::zRange(m, lo, hi);
    return {lo, hi};
}

TEST(CushionMesh, BallRaisesAHemisphereSlabsKeepTheTopRimSharpChamfersNone) {
    initShaderResources();
    const float R = 1.5f;
    const Mesh m = Mesh::FromSimplePolygon(disc(R, 120), true, 2, 0);
    ASSERT_GT(m.faceCount(), 0);
    EXPECT_EQ(meshtest::checkMeshInvariants(m), "");
    float lo = 0, hi = 0;
    meshtest::zRange(m, lo, hi);
    EXPECT_EQ(lo, 0.0f);
    EXPECT_NEAR(hi / R, 1.0f, 0.03f);
    for (int v = 0; v < m.vertexCount(); ++v) EXPECT_TRUE(!m.vertices[v].isBorder() || m.vertices[v].position.z == 0);
    for (int f = 0; f < m.faceCount(); ++f) EXPECT_GE(m.faces[f].normal.z, 0.0f) << "face " << f;

    const Mesh ball = Mesh::FromSimplePolygon(disc(1.0f, 120), true, 2, 2);
    const auto z = closedBody(ball);
    EXPECT_NEAR(z.second, -z.first, 1e-4f);
    EXPECT_NEAR(z.second, 1.0f, 0.05f);
    EXPECT_NEAR(meshtest::enclosedVolume(ball), 4.0 / 3.0 * kPi, 0.05 * 4.0 / 3.0 * kPi);  // smoothing shrinks it

    const Mesh sheet = Mesh::FromSimplePolygon(disc(1.0f, 90), true, 5, 0);
    const int rim = meshtest::openEdgeCount(sheet);
    ASSERT_GT(rim, 0);
    const Mesh slab = Mesh::FromSimplePolygon(disc(1.0f, 90), true, 5, 1);
    const auto zs = closedBody(slab);
    EXPECT_TRUE(zs.first >= -1e-6f && zs.second > 0.5f) << zs.first << " " << zs.second;
    EXPECT_EQ(slab.faceCount(), 2 * sheet.faceCount() + 2 * rim);
    EXPECT_EQ(meshtest::sharpEdgeCount(slab), rim);
    for (unsigned char solid : {1, 2}) {
        const Mesh chamfer = Mesh::FromSimplePolygon(disc(1.0f, 90), true, 3, solid);
        closedBody(chamfer);
        EXPECT_EQ(meshtest::sharpEdgeCount(chamfer), 0) << int(solid);
    }
}

}  // namespace
