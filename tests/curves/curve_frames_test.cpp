// Sweep frames of the curve: transported edge normals, the closure of loops,
// twist, the mitred vertex frame and the validity flag.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "curves/curve.h"
#include "curves/curve_invariants_util.h"

using qel::Curve;
using qel::CurveEdge;
using qel::mat3;
using qel::vec3;

namespace {

void expectNear(const vec3& a, const vec3& b, float eps = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

// The signed angle from a to b about the axis d.
double angleAbout(const vec3& d, const vec3& a, const vec3& b) {
    return std::atan2(qel::dot(d, qel::cross(a, b)), qel::dot(a, b));
}

std::vector<vec3> alongX(int n) {
    std::vector<vec3> p;
    for (int i = 0; i < n; ++i) p.emplace_back(float(i), 0.0f, 0.0f);
    return p;
}

}  // namespace

TEST(CurveFrames, StraightChainAlongXHasNormalsDownZ) {
    Curve c(alongX(4), false);
    for (auto& v : c.vertices) v.radius = 2.0f;
    c.calculateOrientations(false);
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
    for (const CurveEdge& e : c.edges) {
        expectNear(e.direction, vec3(1, 0, 0));
        expectNear(e.normal, vec3(0, 0, -1));
    }
    const mat3 F = c.vertexFrame(1);
    expectNear(F.column(0), vec3(0, 0, -2));
    expectNear(F.column(1), vec3(0, 2, 0));
    expectNear(F.column(2), vec3(2, 0, 0));
    // An end vertex: its one edge's frame.
    expectNear(c.vertexFrame(0).column(2), vec3(2, 0, 0));
    EXPECT_EQ(c.vertexFrame(-1), mat3::Identity());
}

TEST(CurveFrames, ChainAlongZTakesTheGeneralFrame) {
    Curve c(std::vector<vec3>{vec3(0, 0, 0), vec3(0, 0, 1), vec3(0, 0, 2)}, false);
    c.calculateOrientations(false);
    const vec3 d(0, 0, 1);
    expectNear(c.edges[0].direction, d);
    const vec3 expected = qel::normalize(qel::cross(d, mat3::Frame(d).column(1)));
    expectNear(c.edges[0].normal, expected);
    expectNear(c.edges[1].normal, expected);
    EXPECT_NEAR(qel::dot(c.edges[0].normal, d), 0.0, 1e-6);
    EXPECT_NEAR(qel::length(c.edges[0].normal), 1.0, 1e-6);
}

TEST(CurveFrames, ClosedLoopsCloseWithoutAJump) {
    for (const float angle : {0.0f, 0.1f, 0.7f}) {
        SCOPED_TRACE(angle);
        Curve c(std::vector<vec3>{vec3(0, 0, 0), vec3(1, 0, 0), vec3(1, 1, 0.5f), vec3(0, 1, 0)}, true);
        for (auto& v : c.vertices) v.angle = angle;
        c.calculateOrientations(false);
        // Walk the loop: each normal carried onto the next edge (twist
        // included) differs from that edge's normal by the same angle, the
        // closure included.
        const int m = c.edgeCount();
        std::vector<double> steps;
        int e = 0;
        for (int k = 0; k < m; ++k) {
            const CurveEdge& E = c.edges[std::size_t(e)];
            const int f = E.n[1];
            const CurveEdge& F = c.edges[std::size_t(f)];
            const mat3 R = mat3::Rotation(E.direction, F.direction);
            const mat3 T = mat3::RotationAroundAxis(F.direction, angle);
            const vec3 carried = qel::normalize(T * (R * E.normal));
            steps.push_back(angleAbout(F.direction, carried, F.normal));
            e = f;
        }
        EXPECT_EQ(e, 0);
        for (double s : steps) EXPECT_NEAR(s, steps[0], 1e-5);
    }
}

TEST(CurveFrames, RightAngleJointStretchesBySqrt2AcrossTheBend) {
    Curve c(std::vector<vec3>{vec3(0, 0, 0), vec3(1, 0, 0), vec3(1, 1, 0)}, false);
    c.calculateOrientations(false);
    const mat3 M = c.vertexFrame(1);
    const mat3 MMt = M * M.transposed();  // the square of the stretch
    const vec3 across = qel::normalize(vec3(1, 0, 0) - vec3(0, 1, 0));
    expectNear(MMt * across, across * 2.0f);
    expectNear(MMt * vec3(0, 0, 1), vec3(0, 0, 1));
    const vec3 along = qel::normalize(vec3(1, 1, 0));
    expectNear(MMt * along, along);
}

TEST(CurveFrames, AnglesTwistEachEdgeByTheirSum) {
    Curve plain(alongX(6), false), twisted(alongX(6), false);
    for (auto& v : twisted.vertices) v.angle = 0.1f;
    plain.calculateOrientations(false);
    twisted.calculateOrientations(false);
    for (int k = 0; k < twisted.edgeCount(); ++k) {
        const double a =
            angleAbout(vec3(1, 0, 0), plain.edges[std::size_t(k)].normal, twisted.edges[std::size_t(k)].normal);
        EXPECT_NEAR(std::fabs(a), 0.1 * k, 1e-5) << k;
        EXPECT_GE(a, 0.0) << k;  // one sense of turning
    }
}

TEST(CurveFrames, ValidOrientationsAreKeptUntilTouchedOrForced) {
    Curve c(alongX(3), false);
    c.edges[1].flags |= CurveEdge::SelectedBit;  // a selected edge is oriented too
    c.calculateOrientations(false);
    EXPECT_TRUE(c.orientationsValid);
    expectNear(c.edges[1].direction, vec3(1, 0, 0));
    EXPECT_TRUE(c.edges[1].isSelected());
    c.vertices[2].position = vec3(1, 1, 0);
    c.calculateOrientations(false);
    expectNear(c.edges[1].direction, vec3(1, 0, 0));
    c.calculateOrientations(true);
    expectNear(c.edges[1].direction, vec3(0, 1, 0));
    c.vertices[2].position = vec3(1, -1, 0);
    c.touch();
    c.calculateOrientations(false);
    expectNear(c.edges[1].direction, vec3(0, -1, 0));
}

TEST(CurveFrames, SingleEdgePointsFromItsVertex1ToItsVertex0) {
    Curve c(std::vector<vec3>{vec3(0, 0, 0), vec3(0, 2, 0)}, false);
    c.calculateOrientations(false);
    expectNear(c.edges[0].direction, vec3(0, -1, 0));
    EXPECT_NEAR(qel::length(c.edges[0].normal), 1.0, 1e-6);
    // A lone vertex has the identity frame.
    c.vertexAdd(vec3(5, 5, 5));
    EXPECT_EQ(c.vertexFrame(2), mat3::Identity());
}
