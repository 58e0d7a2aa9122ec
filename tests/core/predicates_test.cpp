// Exact predicates checked against exact rational determinants, on random,
// near-degenerate and exactly degenerate inputs (which drives the expansion
// arithmetic of every adaptive stage); and the geometric tests built on them.

#include "core/predicates.h"

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "core/geometry.h"

namespace {

using namespace qel::exact;
using P = const double*;

int sign(double v) { return (v > 0) - (v < 0); }

// The determinant over Q, expanded along the first row.
mpq_class det(const std::vector<std::vector<mpq_class>>& m) {
    if (m.size() == 1) return m[0][0];
    mpq_class d = 0;
    for (std::size_t c = 0; c < m.size(); ++c) {
        std::vector<std::vector<mpq_class>> minor(m.begin() + 1, m.end());
        for (auto& row : minor) row.erase(row.begin() + std::ptrdiff_t(c));
        d += (c % 2 ? -m[0][c] : m[0][c]) * det(minor);
    }
    return d;
}

// Sign of the lifted determinant that defines each predicate: rows (p, 1), or
// (p, |p|^2, 1) for the in-circle and in-sphere tests.
int oracle(std::vector<P> pts, int dim, bool lifted) {
    std::vector<std::vector<mpq_class>> m;
    for (P p : pts) {
        std::vector<mpq_class> row(p, p + dim);
        mpq_class lift = 0;
        for (const mpq_class& x : row) lift += x * x;
        if (lifted) row.push_back(lift);
        row.emplace_back(1);
        m.push_back(row);
    }
    return sgn(det(m));
}
int o2(P a, P b, P c) { return oracle({a, b, c}, 2, false); }
int o3(P a, P b, P c, P d) { return oracle({a, b, c, d}, 3, false); }
int oCircle(P a, P b, P c, P d) { return oracle({a, b, c, d}, 2, true); }
int oSphere(P a, P b, P c, P d, P e) { return oracle({a, b, c, d, e}, 3, true); }

class PredicateTest : public ::testing::Test {
protected:
    void SetUp() override { exactinit(); }
    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
    // Every predicate on p[0..4] against the oracle; with a bound, the
    // adaptive stages too (a huge bound forces them to their last stage).
    void expectExact(const double (&p)[5][3], bool sphere, double bound = 0) {
        const int s2 = o2(p[0], p[1], p[2]), s3 = o3(p[0], p[1], p[2], p[3]), sc = oCircle(p[0], p[1], p[2], p[3]);
        ASSERT_EQ(sign(orient2d(p[0], p[1], p[2])), s2);
        ASSERT_EQ(sign(orient3d(p[0], p[1], p[2], p[3])), s3);
        ASSERT_EQ(sign(incircle(p[0], p[1], p[2], p[3])), sc);
        if (bound > 0) {
            ASSERT_EQ(sign(orient2dadapt(p[0], p[1], p[2], bound)), s2);
            ASSERT_EQ(sign(orient3dadapt(p[0], p[1], p[2], p[3], bound)), s3);
            ASSERT_EQ(sign(incircleadapt(p[0], p[1], p[2], p[3], bound)), sc);
        }
        if (!sphere) return;
        const int ss = oSphere(p[0], p[1], p[2], p[3], p[4]);
        ASSERT_EQ(sign(insphere(p[0], p[1], p[2], p[3], p[4])), ss);
        ASSERT_EQ(sign(insphereexact(p[0], p[1], p[2], p[3], p[4])), ss);
        if (bound > 0) {
            ASSERT_EQ(sign(insphereadapt(p[0], p[1], p[2], p[3], p[4], bound)), ss);
        }
    }
    std::mt19937_64 rng{12345};
};

TEST_F(PredicateTest, SignConventions) {
    const double o[3] = {0, 0, 0}, x[3] = {1, 0, 0}, y[3] = {0, 1, 0}, mid[2] = {0.25, 0.25}, far[2] = {3, 3};
    const double below[3] = {0, 0, -1}, above[3] = {0, 0, 2}, minusX[3] = {-1, 0, 0};
    EXPECT_DOUBLE_EQ(orient2d(o, x, y), 1.0);  // twice the area
    EXPECT_LT(orient2d(o, y, x), 0);
    EXPECT_TRUE(incircle(o, x, y, mid) > 0 && incircle(o, x, y, far) < 0);
    EXPECT_LT(incircle(o, y, x, mid), 0);  // clockwise flips the sign
    EXPECT_TRUE(orient3d(o, x, y, below) > 0 && orient3d(o, x, y, above) < 0);
    ASSERT_GT(orient3d(x, y, minusX, below), 0);
    EXPECT_TRUE(insphere(x, y, minusX, below, o) > 0 && insphere(x, y, minusX, below, above) < 0);
}

TEST_F(PredicateTest, RandomAndForcedAdaptiveInputsMatchExactSigns) {
    double p[5][3];
    for (int i = 0; i < 1000; ++i) {
        for (auto& q : p)
            for (double& v : q) v = uniform(-1, 1);
        expectExact(p, i % 10 == 0);
    }
    // Offsets and scales of every size; every third case puts c on the line
    // a-b up to rounding.
    for (int i = 0; i < 600; ++i) {
        const double off = (i % 2) ? uniform(-1e9, 1e9) : 0.0, scale = std::ldexp(1.0, int(uniform(-30, 30)));
        for (auto& q : p)
            for (double& v : q) v = off + uniform(-1, 1) * scale;
        if (i % 3 == 0)
            for (int k = 0; k < 3; ++k) p[2][k] = p[0][k] + 0.375 * (p[1][k] - p[0][k]);
        expectExact(p, i % 10 == 0, 1e300);
    }
}

TEST_F(PredicateTest, NearDegenerateInputs) {
    // Offsets far larger than the configuration make every difference
    // inexact, so the tail stages run: p2 on the line p0-p1 up to rounding,
    // p3 near the plane, p4 one ulp off p2. Plain double evaluation gets
    // many of these signs wrong.
    double p[5][3];
    for (int i = 0; i < 400; ++i) {
        const double off = std::ldexp(1.0, 20 + i % 30) * (1 + uniform(0, 1)), t = uniform(-2, 2), s = uniform(-2, 2);
        for (int k = 0; k < 3; ++k) {
            p[0][k] = off + uniform(-1, 1), p[1][k] = off + uniform(-1, 1);
            p[2][k] = p[0][k] + t * (p[1][k] - p[0][k]);
            p[3][k] = p[0][k] + s * (p[1][k] - p[0][k]) + (k == 2 ? 0 : uniform(-1, 1));
            p[4][k] = std::nextafter(p[2][k], i % 2 ? 1e300 : -1e300);
        }
        expectExact(p, false);
        ASSERT_EQ(sign(orient2d(p[0], p[1], p[4])), o2(p[0], p[1], p[4]));
        ASSERT_EQ(sign(orient3d(p[0], p[1], p[3], p[4])), o3(p[0], p[1], p[3], p[4]));
    }
    // Nearly cospherical and cocircular points far from the origin.
    for (int i = 0; i < 300; ++i) {
        const double cx = uniform(-1e6, 1e6), cy = uniform(-1e6, 1e6), cz = uniform(-1e6, 1e6), r = uniform(1e-3, 10);
        for (auto& q : p) {
            const double t = uniform(0, 6.283185307179586), z = uniform(-1, 1), w = std::sqrt(1 - z * z);
            q[0] = cx + r * w * std::cos(t), q[1] = cy + r * w * std::sin(t), q[2] = cz + r * z;
        }
        expectExact(p, true);
        for (auto& q : p) {
            const double t = uniform(0, 6.283185307179586);
            q[0] = cx + r * std::cos(t), q[1] = cy + r * std::sin(t);
        }
        ASSERT_EQ(sign(incircle(p[0], p[1], p[2], p[3])), oCircle(p[0], p[1], p[2], p[3]));
    }
}

TEST_F(PredicateTest, Orient2dNeedsItsLastTwoStages) {
    // Triples (found by search) whose differences round: the estimate
    // before the tail correction has the wrong sign in the first two, the
    // corrected one in the last two; only the exact expansion is right. A
    // huge bound makes the adaptive predicate run every stage; orient2d
    // reaches them by its own bounds.
    const double cases[][3][2] = {
        {{-0.064537167549133301, -0.22588008642196655}, {2032674816, 7114361856}, {-32811712512, -114840993792}},
        {{125.6815185546875, 377.04455566406256}, {-18455.375, -55366.125}, {-858.9765625, -2576.9296875}},
        {{-0.00014133192598819733, -0.00042399577796459203},
         {232205259374592, 696615778123776},
         {1969770987520, 5909312962560}},
        {{602.47265625, 753.0908203125}, {-3.2391204833984375, -4.0489006042480469}, {1689528565760, 2111910707200}},
    };
    for (const auto& c : cases) {
        const int s = o2(c[0], c[1], c[2]);
        EXPECT_EQ(sign(orient2dadapt(c[0], c[1], c[2], 1e300)), s) << c[0][0];
        EXPECT_EQ(sign(orient2d(c[0], c[1], c[2])), s) << c[0][0];
    }
}

TEST_F(PredicateTest, Orient2dReturnsTheRoundedDeterminantWhenItsProductsDoNotCancel) {
    // Points on a coarse grid share coordinates, so one product of the 2x2
    // determinant is often exactly zero, and the two products often differ
    // in sign: the rounded determinant then settles the sign by itself and is
    // the value returned. Products of one sign that nearly cancel (collinear
    // grid points, inexact differences far from the origin) go on to the
    // exact stages; every sign follows the oracle.
    double p[3][2];
    int settled = 0;
    for (int i = 0; i < 4000; ++i) {
        const double off = (i % 2) ? 1e8 : 0.0;
        for (auto& q : p)
            for (double& v : q) v = off + std::round(uniform(-3, 3)) * 0.1;
        const double l = (p[0][0] - p[2][0]) * (p[1][1] - p[2][1]), r = (p[0][1] - p[2][1]) * (p[1][0] - p[2][0]);
        const double value = orient2d(p[0], p[1], p[2]);
        ASSERT_EQ(sign(value), o2(p[0], p[1], p[2])) << i;
        if ((l >= 0 && r <= 0) || (l <= 0 && r >= 0)) {
            ++settled;
            ASSERT_EQ(value, l - r) << i;
        }
    }
    EXPECT_GT(settled, 1000);
}

TEST_F(PredicateTest, ExactlyDegenerateInputsGiveZero) {
    // Coordinates of very different magnitudes give non-zero tail terms that
    // must cancel: (A, A), (B, B), (C, C) are collinear; permutations of
    // (A, B, C) share a plane; (+-A, +-B), (+-B, +-A) a circle and signed
    // permutations of (A, B, C) a sphere about the origin. The last row of
    // each lies one ulp off: the sign follows the oracle.
    const double huge = 1e300;
    for (int i = 0; i < 100; ++i) {
        auto pick = [&](int e) { return uniform(1, 2) * std::ldexp(1.0, e) * (uniform(0, 1) < 0.5 ? -1 : 1); };
        const double A = pick(int(uniform(10, 60))), B = pick(int(uniform(-20, 20))), C = pick(int(uniform(-60, -10)));
        const double l0[2] = {A, A}, l1[2] = {B, B}, l2[2] = {C, C};
        EXPECT_TRUE(orient2d(l0, l1, l2) == 0.0 && orient2dadapt(l0, l1, l2, huge) == 0.0);
        const double pl[6][3] = {{A, B, C}, {B, C, A}, {C, A, B}, {A, C, B}, {B, A, C}, {B, A, std::nextafter(C, 0.0)}};
        const double ci[6][2] = {{A, B}, {-B, A}, {B, -A}, {-A, -B}, {B, A}, {std::nextafter(B, 0.0), A}};
        const double sp[6][3] = {{A, B, C},   {-B, C, A},  {C, -A, B},
                                 {A, -C, -B}, {-B, -A, C}, {-B, -A, std::nextafter(C, 0.0)}};
        std::array<int, 5> o = {0, 1, 2, 3, 4};
        do {  // every ordering, so that each tail term appears somewhere
            ASSERT_EQ(orient3d(pl[o[0]], pl[o[1]], pl[o[2]], pl[o[3]]), 0.0);
            ASSERT_EQ(orient3dadapt(pl[o[0]], pl[o[1]], pl[o[2]], pl[o[3]], huge), 0.0);
            ASSERT_EQ(incircle(ci[o[0]], ci[o[1]], ci[o[2]], ci[o[3]]), 0.0);
            ASSERT_EQ(incircleadapt(ci[o[0]], ci[o[1]], ci[o[2]], ci[o[3]], huge), 0.0);
            if (i % 10 == 0) {
                ASSERT_EQ(insphere(sp[o[0]], sp[o[1]], sp[o[2]], sp[o[3]], sp[o[4]]), 0.0);
                ASSERT_EQ(insphereadapt(sp[o[0]], sp[o[1]], sp[o[2]], sp[o[3]], sp[o[4]], huge), 0.0);
            }
        } while (std::next_permutation(o.begin(), o.end()));
        EXPECT_EQ(insphereexact(sp[0], sp[1], sp[2], sp[3], sp[4]), 0.0);
        const int sc = oCircle(ci[0], ci[1], ci[2], ci[5]), s3 = o3(pl[0], pl[1], pl[2], pl[5]);
        ASSERT_EQ(sign(incircle(ci[0], ci[1], ci[2], ci[5])), sc);
        ASSERT_EQ(sign(incircleadapt(ci[0], ci[1], ci[2], ci[5], huge)), sc);
        ASSERT_EQ(sign(insphere(sp[0], sp[1], sp[2], sp[3], sp[5])), oSphere(sp[0], sp[1], sp[2], sp[3], sp[5]));
        ASSERT_EQ(sign(orient3d(pl[0], pl[1], pl[2], pl[5])), s3);
        ASSERT_EQ(sign(orient3dadapt(pl[0], pl[1], pl[2], pl[5], huge)), s3);
    }
}

// --- Tests on double vectors ------------------------------------------------------

using qel::dvec2;
using qel::dvec3;

class GeometryTest : public ::testing::Test {
protected:
    void SetUp() override { qel::InitExactPredicates(); }
};

TEST_F(GeometryTest, PointInTriangle) {
    // Closed triangles of either orientation; a collinear triangle holds the
    // points of its line within its box; one ulp outside or inside an edge.
    const dvec2 a(0, 0), b(4, 0), c(0, 4), d(2, 2), e(3, 3);
    EXPECT_TRUE(qel::InTriangle({1, 1}, a, c, b) && qel::InTriangle(a, a, b, c) && qel::InTriangle(d, a, b, c));
    EXPECT_FALSE(qel::InTriangle({2.5, 2}, a, b, c) || qel::InTriangle({-1, 1}, a, b, c));
    EXPECT_TRUE(qel::InTriangle({1, 1}, a, d, e));
    EXPECT_FALSE(qel::InTriangle({4, 4}, a, d, e) || qel::InTriangle({1, 1.5}, a, d, e));
    EXPECT_FALSE(qel::InTriangle({2, std::nextafter(2.0, 3.0)}, a, b, c));
    EXPECT_TRUE(qel::InTriangle({2, std::nextafter(2.0, 1.0)}, a, b, c));
}

TEST_F(GeometryTest, SegmentThroughTriangleAndPlane) {
    const dvec3 a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
    dvec3 out(-1, -1, -1);
    ASSERT_TRUE(qel::IntersectionTriangleSegment(a, b, c, {0, 0, 1}, {0.5, 0.5, -1}, out));
    EXPECT_NEAR(out.x, 0.25, 1e-7);
    EXPECT_NEAR(out.z, 0.0, 1e-7);
    EXPECT_FALSE(qel::IntersectionTriangleSegment(a, b, c, {0.8, 0.8, -1}, {0.8, 0.8, 1}, out));
    EXPECT_FALSE(qel::IntersectionTriangleSegment(a, b, c, {0.2, 0.2, 0.5}, {0.2, 0.2, 1}, out));
    // A sliver whose edge vectors vanish in float still yields a finite point
    // in the triangle's plane.
    ASSERT_TRUE(
        qel::IntersectionTriangleSegment(a, {1e-50, 0, 0}, {0, 1e-50, 0}, {1e-51, 1e-51, -1}, {1e-51, 1e-51, 1}, out));
    EXPECT_TRUE(std::isfinite(out.x) && std::isfinite(out.y));
    EXPECT_EQ(out.z, 0.0);

    EXPECT_EQ(qel::CalculateIntersectionPlaneSegment({0, 0, 0.5}, {0, 0, 2}, {1, 2, 0}, {1, 2, 2}), dvec3(1, 2, 0.5));
    EXPECT_DOUBLE_EQ(qel::CalculateIntersectionPlaneSegment({1, 1, 1}, {1, 1, 0}, {0, 0, 0}, {2, 2, 4}).z, 2);
    // A segment parallel to the plane gives its first end, not NaN.
    EXPECT_EQ(qel::CalculateIntersectionPlaneSegment({0, 0, 1}, {0, 0, 1}, {3, 4, 0}, {5, 6, 0}), dvec3(3, 4, 0));
}

}  // namespace
