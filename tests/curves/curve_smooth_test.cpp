// Smoothing, sharp flags, subdivision and chain reaching of the curve.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "curves/curve.h"
#include "curves/curve_invariants_util.h"

using qel::Curve;
using qel::CurveEdge;
using qel::CurveVertex;
using qel::vec3;
using CurvePtr = std::unique_ptr<Curve>;

namespace {

const std::vector<vec3> kSquare = {vec3(0, 0, 0), vec3(1, 0, 0), vec3(1, 1, 0), vec3(0, 1, 0)};

void expectNear(const vec3& a, const vec3& b, float eps = 1e-6f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

CurvePtr square(bool sharp) {
    auto c = std::make_unique<Curve>(kSquare, true);
    for (int v = 0; v < 4; ++v) c->vertices[std::size_t(v)].angle = 0.4f + 0.1f * float(v);
    if (sharp) c->makeSharp();
    return c;
}

}  // namespace

TEST(CurveSmooth, SubdivideWithoutSmoothingDoublesAndHalvesAngles) {
    CurvePtr c = square(false);
    EXPECT_TRUE(c->subdivide(false));
    EXPECT_EQ(curvetest::checkCurveInvariants(*c), "");
    EXPECT_EQ(c->vertexCount(), 8);
    EXPECT_EQ(c->edgeCount(), 8);
    for (int v = 0; v < 4; ++v) {
        EXPECT_EQ(c->vertices[std::size_t(v)].position, kSquare[std::size_t(v)]);
        EXPECT_FLOAT_EQ(c->vertices[std::size_t(v)].angle, 0.5f * (0.4f + 0.1f * float(v)));
    }
    // The midpoint of edge 0 (from the last corner to the first): the mean
    // angle of its ends, halved.
    EXPECT_EQ(c->vertices[4].position, vec3(0, 0.5f, 0));
    EXPECT_FLOAT_EQ(c->vertices[4].angle, 0.5f * 0.5f * (0.7f + 0.4f));
    EXPECT_FALSE(c->orientationsValid);
}

TEST(CurveSmooth, SubdivideWithSmoothingMovesCornersUnlessSharp) {
    for (const bool sharp : {false, true}) {
        CurvePtr c = square(sharp);
        c->subdivide(true);
        EXPECT_EQ(curvetest::checkCurveInvariants(*c), "");
        // (a + 6p + b) / 8 for corner (0, 0) between (0, 1) and (1, 0).
        expectNear(c->vertices[0].position, sharp ? vec3(0, 0, 0) : vec3(0.125f, 0.125f, 0));
        expectNear(c->vertices[2].position, sharp ? vec3(1, 1, 0) : vec3(0.875f, 0.875f, 0));
    }
}

TEST(CurveSmooth, SubdivideLeavesInactiveEdgesUnsplit) {
    Curve c(std::vector<vec3>{vec3(0, 0, 0), vec3(1, 0, 0), vec3(2, 0, 0), vec3(3, 0, 0)}, false);
    c.edgeErase(2);
    c.subdivide(true);
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
    EXPECT_EQ(c.edgeCount(), 5);
    EXPECT_EQ(curvetest::activeEdgeCount(c), 4);
    EXPECT_EQ(curvetest::activeVertexCount(c), 5);
    c.removeInactive(false);
    c.initialize(Curve::ResizeKeep);
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
}

TEST(CurveSmooth, SmoothAllKeepsSharpVerticesButAveragesTheirRadii) {
    Curve c(std::vector<vec3>{vec3(0, 0, 0), vec3(1, 1, 0), vec3(2, 0, 0), vec3(3, 1, 0)}, false);
    const float radii[] = {1.0f, 3.0f, 1.0f, 5.0f};
    for (int v = 0; v < 4; ++v) c.vertices[std::size_t(v)].radius = radii[v];
    c.smoothAll();
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
    // The open ends are sharp: in place, radius halfway to the neighbour's.
    EXPECT_EQ(c.vertices[0].position, vec3(0, 0, 0));
    EXPECT_FLOAT_EQ(c.vertices[0].radius, 2.0f);
    EXPECT_FLOAT_EQ(c.vertices[3].radius, 3.0f);
    // Vertex 1 moves along the chord of its neighbours only: its neighbours'
    // chord is the X axis, the mean (1, 0) lies straight below it.
    EXPECT_EQ(c.vertices[1].position, vec3(1, 1, 0));
    EXPECT_FLOAT_EQ(c.vertices[1].radius, 2.0f);
    // The tangential move, off the chord's middle.
    EXPECT_EQ(c.vertexTangentialSmoothPosition(2), vec3(2, 0, 0));
    c.vertices[2].position = vec3(1.5f, 0, 0);
    expectNear(c.vertexTangentialSmoothPosition(2), vec3(2, 0, 0));
    expectNear(c.vertexSmoothPosition(2), vec3(2, 1, 0));
}

TEST(CurveSmooth, VerticesWithoutNeighboursKeepTheirValues) {
    Curve c;
    CurveVertex lone(vec3(1, 2, 3));
    lone.radius = 2.0f;
    lone.angle = 0.3f;
    c.vertexAdd(lone);
    c.vertices[0].flags = CurveVertex::ActiveBit;  // not sharp
    EXPECT_EQ(c.vertexSmoothPosition(0), vec3(1, 2, 3));
    EXPECT_EQ(c.vertexTangentialSmoothPosition(0), vec3(1, 2, 3));
    EXPECT_EQ(c.vertexSmoothRadius(0), 2.0f);
    EXPECT_EQ(c.vertexSmoothAngle(0), 0.3f);
    c.smoothAll();
    c.subdivide(true);
    EXPECT_EQ(c.vertices[0].position, vec3(1, 2, 3));
    EXPECT_EQ(c.vertices[0].radius, 2.0f);
    EXPECT_TRUE(std::isfinite(c.vertices[0].angle));
}

TEST(CurveSmooth, SharpFlags) {
    Curve c(std::vector<vec3>{vec3(0, 0, 0), vec3(1, 0, 0), vec3(2, 0, 0), vec3(2, 1, 0), vec3(2.1f, 2, 0)}, false);
    c.makeSharp();
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
    for (const CurveVertex& v : c.vertices) EXPECT_TRUE(v.isSharp());
    for (const CurveEdge& e : c.edges) EXPECT_EQ(e.flags & CurveEdge::SharpMask, 3);
    c.makeSmooth();
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");  // the open ends stay sharp
    const bool smooth[] = {true, false, false, false, true};
    for (int v = 0; v < 5; ++v) EXPECT_EQ(c.vertices[std::size_t(v)].isSharp(), smooth[v]) << v;
    // At 45 degrees only the right angle at vertex 2 is sharp.
    c.makeSharp(45.0f);
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
    const bool bent[] = {true, false, true, false, true};
    for (int v = 0; v < 5; ++v) EXPECT_EQ(c.vertices[std::size_t(v)].isSharp(), bent[v]) << v;
}

TEST(CurveSmooth, SpherizePutsVerticesAtHalfTheSize) {
    Curve c(kSquare, true);
    c.centre = vec3(0.5f, 0.5f, 0);
    c.setSize(4.0f);
    c.spherize();
    for (const CurveVertex& v : c.vertices) EXPECT_NEAR(qel::distance(v.position, c.centre), 2.0, 1e-6);
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
}

TEST(CurveSmooth, ReachTargetKeepsSegmentLengthsAndPointZero) {
    std::vector<vec3> points = {vec3(0, 0, 0), vec3(1, 0, 0), vec3(2, 0, 0), vec3(3, 0, 0)};
    qel::reachTarget(points, vec3(5, 0, 0), 1);
    EXPECT_EQ(points[0], vec3(0, 0, 0));
    for (std::size_t k = 1; k < points.size(); ++k) EXPECT_NEAR(qel::distance(points[k], points[k - 1]), 1.0, 1e-6);
    EXPECT_EQ(points[3], vec3(3, 0, 0));
    // A reachable target off the line: the last point gets close after the
    // resampling's ten passes, the lengths stay.
    points = {vec3(0, 0, 0), vec3(1, 0, 0), vec3(2, 0, 0), vec3(3, 0, 0)};
    qel::reachTarget(points, vec3(1, 2, 0), 10);
    EXPECT_EQ(points[0], vec3(0, 0, 0));
    EXPECT_LT(qel::distance(points[3], vec3(1, 2, 0)), 0.05);
    for (std::size_t k = 1; k < points.size(); ++k) EXPECT_NEAR(qel::distance(points[k], points[k - 1]), 1.0, 1e-5);
    // Short chains: one point goes to the target; nothing for none.
    std::vector<vec3> one = {vec3(1, 1, 1)};
    qel::reachTarget(one, vec3(2, 2, 2), 3);
    EXPECT_EQ(one[0], vec3(2, 2, 2));
    std::vector<vec3> none;
    qel::reachTarget(none, vec3(2, 2, 2), 3);
    EXPECT_TRUE(none.empty());
}
