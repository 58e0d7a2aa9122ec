// Exact predicates and expansion arithmetic checked against exact rational
// determinants, on random, near-degenerate and exactly degenerate inputs.

#include "core/predicates.h"

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <random>
#include <vector>

namespace {

using namespace qel::exact;

int sign(double v) { return (v > 0) - (v < 0); }
int sign(const mpq_class& v) { return sgn(v); }

// Determinant of a small square rational matrix by elimination.
mpq_class determinant(std::vector<std::vector<mpq_class>> m) {
    const std::size_t n = m.size();
    mpq_class det = 1;
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t pivot = c;
        while (pivot < n && m[pivot][c] == 0) ++pivot;
        if (pivot == n) return 0;
        if (pivot != c) {
            std::swap(m[pivot], m[c]);
            det = -det;
        }
        det *= m[c][c];
        for (std::size_t r = c + 1; r < n; ++r) {
            const mpq_class f = m[r][c] / m[c][c];
            for (std::size_t k = c; k < n; ++k) m[r][k] -= f * m[c][k];
        }
    }
    return det;
}

// The lifted determinants that define each predicate: rows (p, 1), or
// (p, |p|^2, 1) for the in-circle and in-sphere tests.
mpq_class exactDet(const std::vector<const double*>& pts, int dim, bool lifted) {
    std::vector<std::vector<mpq_class>> m;
    for (const double* p : pts) {
        std::vector<mpq_class> row;
        mpq_class lift = 0;
        for (int k = 0; k < dim; ++k) {
            row.emplace_back(p[k]);
            lift += mpq_class(p[k]) * mpq_class(p[k]);
        }
        if (lifted) row.push_back(lift);
        row.emplace_back(1);
        m.push_back(row);
    }
    return determinant(m);
}

int oracleOrient2d(const double* a, const double* b, const double* c) { return sign(exactDet({a, b, c}, 2, false)); }
int oracleOrient3d(const double* a, const double* b, const double* c, const double* d) {
    return sign(exactDet({a, b, c, d}, 3, false));
}
int oracleIncircle(const double* a, const double* b, const double* c, const double* d) {
    return sign(exactDet({a, b, c, d}, 2, true));
}
int oracleInsphere(const double* a, const double* b, const double* c, const double* d, const double* e) {
    return sign(exactDet({a, b, c, d, e}, 3, true));
}

class PredicateTest : public ::testing::Test {
protected:
    void SetUp() override { exactinit(); }
    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
    std::mt19937_64 rng{12345};
};

// --- Signs on plain inputs ----------------------------------------------------

TEST_F(PredicateTest, SignConventions) {
    const double o[2] = {0, 0}, x[2] = {1, 0}, y[2] = {0, 1}, mid[2] = {0.25, 0.25}, far[2] = {3, 3};
    EXPECT_GT(orient2d(o, x, y), 0);
    EXPECT_LT(orient2d(o, y, x), 0);
    EXPECT_DOUBLE_EQ(orient2d(o, x, y), 1.0);  // twice the area
    EXPECT_GT(incircle(o, x, y, mid), 0);
    EXPECT_LT(incircle(o, x, y, far), 0);
    EXPECT_LT(incircle(o, y, x, mid), 0);  // clockwise flips the sign

    const double a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {0, 1, 0};
    const double below[3] = {0, 0, -1}, above[3] = {0, 0, 1};
    EXPECT_GT(orient3d(a, b, c, below), 0);
    EXPECT_LT(orient3d(a, b, c, above), 0);

    // Sphere through four points of the unit sphere, ordered so that
    // orient3d is positive: the centre is inside.
    const double s0[3] = {1, 0, 0}, s1[3] = {0, 1, 0}, s2[3] = {-1, 0, 0}, s3[3] = {0, 0, -1};
    const double centre[3] = {0, 0, 0}, outside[3] = {0, 0, 2};
    ASSERT_GT(orient3d(s0, s1, s2, s3), 0);
    EXPECT_GT(insphere(s0, s1, s2, s3, centre), 0);
    EXPECT_LT(insphere(s0, s1, s2, s3, outside), 0);
}

TEST_F(PredicateTest, RandomInputsMatchExactSigns) {
    for (int i = 0; i < 2000; ++i) {
        double p[5][3];
        for (auto& q : p)
            for (double& v : q) v = uniform(-1, 1);
        ASSERT_EQ(sign(orient2d(p[0], p[1], p[2])), oracleOrient2d(p[0], p[1], p[2]));
        ASSERT_EQ(sign(orient3d(p[0], p[1], p[2], p[3])), oracleOrient3d(p[0], p[1], p[2], p[3]));
        ASSERT_EQ(sign(incircle(p[0], p[1], p[2], p[3])), oracleIncircle(p[0], p[1], p[2], p[3]));
        if (i % 10 == 0) {
            ASSERT_EQ(sign(insphere(p[0], p[1], p[2], p[3], p[4])), oracleInsphere(p[0], p[1], p[2], p[3], p[4]));
        }
    }
}

// --- Near-degenerate inputs -----------------------------------------------------

TEST_F(PredicateTest, Orient2dOnUlpGridNearALine) {
    // Points a few ulps around (0.5, 0.5) against the line through (12, 12)
    // and (24, 24): plain double evaluation gets many of these wrong.
    const double b[2] = {12, 12}, c[2] = {24, 24};
    int zeros = 0;
    for (int i = 0; i < 64; ++i)
        for (int j = 0; j < 64; ++j) {
            const double a[2] = {0.5 + i * 0x1p-53, 0.5 + j * 0x1p-53};
            const int expected = oracleOrient2d(a, b, c);
            ASSERT_EQ(sign(orient2d(a, b, c)), expected) << i << " " << j;
            zeros += expected == 0;
        }
    EXPECT_EQ(zeros, 64);  // the diagonal is exactly collinear
}

TEST_F(PredicateTest, NearDegenerateInputsWithLargeOffsets) {
    // Offsets far larger than the configuration make every difference
    // inexact, so the tail stages run.
    for (int i = 0; i < 400; ++i) {
        const double off = std::ldexp(1.0, 20 + i % 30) * (1 + uniform(0, 1));
        double a[3], b[3], c[3], d[3], e[3];
        for (int k = 0; k < 3; ++k) {
            a[k] = off + uniform(-1, 1);
            b[k] = off + uniform(-1, 1);
        }
        // c and d on (or within rounding of) the line / plane through a, b.
        const double t = uniform(-2, 2), s = uniform(-2, 2);
        for (int k = 0; k < 3; ++k) c[k] = a[k] + t * (b[k] - a[k]);
        for (int k = 0; k < 3; ++k) d[k] = a[k] + s * (b[k] - a[k]) + (k == 2 ? 0 : uniform(-1, 1));
        for (int k = 0; k < 3; ++k) e[k] = std::nextafter(c[k], i % 2 ? 1e300 : -1e300);
        ASSERT_EQ(sign(orient2d(a, b, c)), oracleOrient2d(a, b, c));
        ASSERT_EQ(sign(orient2d(a, b, e)), oracleOrient2d(a, b, e));
        ASSERT_EQ(sign(orient3d(a, b, c, d)), oracleOrient3d(a, b, c, d));
        ASSERT_EQ(sign(orient3d(a, b, d, e)), oracleOrient3d(a, b, d, e));
        ASSERT_EQ(sign(incircle(a, b, d, c)), oracleIncircle(a, b, d, c));
    }
}

TEST_F(PredicateTest, NearlyCocircularAndCosphericalPoints) {
    for (int i = 0; i < 300; ++i) {
        const double cx = uniform(-1e6, 1e6), cy = uniform(-1e6, 1e6), cz = uniform(-1e6, 1e6);
        const double r = uniform(1e-3, 10);
        auto onCircle = [&](double* p) {
            const double t = uniform(0, 6.283185307179586);
            p[0] = cx + r * std::cos(t);
            p[1] = cy + r * std::sin(t);
        };
        auto onSphere = [&](double* p) {
            const double t = uniform(0, 6.283185307179586), z = uniform(-1, 1), w = std::sqrt(1 - z * z);
            p[0] = cx + r * w * std::cos(t);
            p[1] = cy + r * w * std::sin(t);
            p[2] = cz + r * z;
        };
        double a[3], b[3], c[3], d[3], e[3];
        onCircle(a), onCircle(b), onCircle(c), onCircle(d);
        ASSERT_EQ(sign(incircle(a, b, c, d)), oracleIncircle(a, b, c, d));
        onSphere(a), onSphere(b), onSphere(c), onSphere(d), onSphere(e);
        ASSERT_EQ(sign(insphere(a, b, c, d, e)), oracleInsphere(a, b, c, d, e));
        ASSERT_EQ(sign(insphereexact(a, b, c, d, e)), oracleInsphere(a, b, c, d, e));
    }
}

TEST_F(PredicateTest, AdaptiveStagesForcedToTheirLastStageStayExact) {
    // A huge error bound makes every intermediate check fail, so each
    // adaptive stage runs to its final exact sum (or, for the in-sphere
    // test, hands over to the exact evaluation).
    const double huge = 1e300;
    for (int i = 0; i < 1000; ++i) {
        const double off = (i % 2) ? uniform(-1e9, 1e9) : 0.0;
        const double scale = std::ldexp(1.0, int(uniform(-30, 30)));
        double p[5][3];
        for (auto& q : p)
            for (double& v : q) v = off + uniform(-1, 1) * scale;
        if (i % 3 == 0)  // put c on the line a-b, up to rounding
            for (int k = 0; k < 3; ++k) p[2][k] = p[0][k] + 0.375 * (p[1][k] - p[0][k]);
        ASSERT_EQ(sign(orient2dadapt(p[0], p[1], p[2], huge)), oracleOrient2d(p[0], p[1], p[2]));
        ASSERT_EQ(sign(orient3dadapt(p[0], p[1], p[2], p[3], huge)), oracleOrient3d(p[0], p[1], p[2], p[3]));
        ASSERT_EQ(sign(incircleadapt(p[0], p[1], p[2], p[3], huge)), oracleIncircle(p[0], p[1], p[2], p[3]));
        if (i % 10 == 0) {
            ASSERT_EQ(sign(insphereadapt(p[0], p[1], p[2], p[3], p[4], huge)),
                      oracleInsphere(p[0], p[1], p[2], p[3], p[4]));
        }
    }
}

// --- Exactly degenerate inputs -------------------------------------------------

TEST_F(PredicateTest, ExactlyDegenerateInputsGiveZero) {
    for (int i = 0; i < 200; ++i) {
        // Dyadic offsets keep every coordinate exact.
        const double ox = std::ldexp(std::floor(uniform(-1e6, 1e6)), -10);
        const double oy = std::ldexp(std::floor(uniform(-1e6, 1e6)), -10);
        const double oz = std::ldexp(std::floor(uniform(-1e6, 1e6)), -10);
        const double vx = std::floor(uniform(-50, 50)), vy = std::floor(uniform(-50, 50));
        const double a[3] = {ox, oy, oz}, b[3] = {ox + vx, oy + vy, oz + vx - vy};
        const double c[3] = {ox + 3 * vx, oy + 3 * vy, oz + 3 * (vx - vy)};
        const double d[3] = {ox + 7, oy - 5, oz + 12};  // on the plane z - oz = (x - ox) - (y - oy)
        EXPECT_EQ(orient2d(a, b, c), 0.0);
        EXPECT_EQ(orient3d(a, b, c, d), 0.0);
        EXPECT_EQ(orient3d(a, d, b, b), 0.0);

        // Points of the circle x^2 + y^2 = 25 and the sphere of radius 3
        // through (1, 2, 2)-style points, moved to the offset.
        const double s = std::ldexp(1.0, i % 20 - 10);
        const double p[4][2] = {{3, 4}, {-4, 3}, {5, 0}, {0, -5}};
        double q[4][2];
        for (int k = 0; k < 4; ++k) q[k][0] = ox + s * p[k][0], q[k][1] = oy + s * p[k][1];
        EXPECT_EQ(incircle(q[0], q[1], q[2], q[3]), 0.0);
        const double sp[5][3] = {{1, 2, 2}, {2, -1, 2}, {-2, 2, 1}, {2, 2, -1}, {0, 0, -3}};
        double t[5][3];
        for (int k = 0; k < 5; ++k)
            for (int j = 0; j < 3; ++j) t[k][j] = (j == 0 ? ox : j == 1 ? oy : oz) + s * sp[k][j];
        EXPECT_EQ(insphere(t[0], t[1], t[2], t[3], t[4]), 0.0);
        EXPECT_EQ(insphereexact(t[0], t[1], t[2], t[3], t[4]), 0.0);
    }
}

TEST_F(PredicateTest, DegenerateInputsWithInexactDifferences) {
    // Coordinates of very different magnitudes make the differences to the
    // last point inexact, so every tail term takes part and must cancel:
    // (A, A), (B, B), (C, C) are collinear; the permutations of (A, B, C)
    // share the plane x + y + z = A + B + C; (+-A, +-B), (+-B, +-A) share a
    // circle and the signed permutations of (A, B, C) a sphere, all centred
    // at the origin.
    const double huge = 1e300;
    for (int i = 0; i < 100; ++i) {
        auto pick = [&](int e) { return uniform(1, 2) * std::ldexp(1.0, e) * (uniform(0, 1) < 0.5 ? -1 : 1); };
        const double A = pick(int(uniform(10, 60))), B = pick(int(uniform(-20, 20))), C = pick(int(uniform(-60, -10)));

        const double l0[2] = {A, A}, l1[2] = {B, B}, l2[2] = {C, C};
        EXPECT_EQ(orient2d(l0, l1, l2), 0.0);
        EXPECT_EQ(orient2dadapt(l0, l1, l2, huge), 0.0);

        const double p0[3] = {A, B, C}, p1[3] = {B, C, A}, p2[3] = {C, A, B}, p3[3] = {A, C, B}, p4[3] = {B, A, C};
        const double c0[2] = {A, B}, c1[2] = {-B, A}, c2[2] = {B, -A}, c3[2] = {-A, -B}, c4[2] = {B, A};
        const double s0[3] = {A, B, C}, s1[3] = {-B, C, A}, s2[3] = {C, -A, B}, s3[3] = {A, -C, -B};
        const double s4[3] = {-B, -A, C};
        const double* plane[5] = {p0, p1, p2, p3, p4};
        const double* circle[5] = {c0, c1, c2, c3, c4};
        const double* sphere[5] = {s0, s1, s2, s3, s4};
        // Every ordering of four (five) of the points, so that each tail term
        // appears somewhere.
        std::array<int, 5> o = {0, 1, 2, 3, 4};
        do {
            const double *a = plane[o[0]], *b = plane[o[1]], *c = plane[o[2]], *d = plane[o[3]];
            ASSERT_EQ(orient3d(a, b, c, d), 0.0);
            ASSERT_EQ(orient3dadapt(a, b, c, d, huge), 0.0);
            a = circle[o[0]], b = circle[o[1]], c = circle[o[2]], d = circle[o[3]];
            ASSERT_EQ(incircle(a, b, c, d), 0.0);
            ASSERT_EQ(incircleadapt(a, b, c, d, huge), 0.0);
            if (i % 10 == 0) {
                const double* e[5] = {sphere[o[0]], sphere[o[1]], sphere[o[2]], sphere[o[3]], sphere[o[4]]};
                ASSERT_EQ(insphere(e[0], e[1], e[2], e[3], e[4]), 0.0);
                ASSERT_EQ(insphereadapt(e[0], e[1], e[2], e[3], e[4], huge), 0.0);
            }
        } while (std::next_permutation(o.begin(), o.end()));
        EXPECT_EQ(insphereexact(s0, s1, s2, s3, s4), 0.0);

        // One ulp off the circle or sphere: the sign must follow the exact
        // determinant.
        const double c5[2] = {std::nextafter(B, 0.0), A};
        ASSERT_EQ(sign(incircle(c0, c1, c2, c5)), oracleIncircle(c0, c1, c2, c5));
        ASSERT_EQ(sign(incircleadapt(c0, c1, c2, c5, huge)), oracleIncircle(c0, c1, c2, c5));
        const double s5[3] = {-B, -A, std::nextafter(C, 0.0)};
        ASSERT_EQ(sign(insphere(s0, s1, s2, s3, s5)), oracleInsphere(s0, s1, s2, s3, s5));
        const double p5[3] = {B, A, std::nextafter(C, 0.0)};
        ASSERT_EQ(sign(orient3d(p0, p1, p2, p5)), oracleOrient3d(p0, p1, p2, p5));
        ASSERT_EQ(sign(orient3dadapt(p0, p1, p2, p5, huge)), oracleOrient3d(p0, p1, p2, p5));
    }
}

TEST_F(PredicateTest, InsphereExactMatchesOracleOnRandomInputs) {
    for (int i = 0; i < 200; ++i) {
        double p[5][3];
        for (auto& q : p)
            for (double& v : q) v = uniform(-1, 1) * std::ldexp(1.0, int(uniform(-20, 20)));
        EXPECT_EQ(sign(insphereexact(p[0], p[1], p[2], p[3], p[4])), oracleInsphere(p[0], p[1], p[2], p[3], p[4]));
    }
}

// --- Expansion arithmetic ------------------------------------------------------

mpq_class valueOf(int len, const double* e) {
    mpq_class v = 0;
    for (int i = 0; i < len; ++i) v += mpq_class(e[i]);
    return v;
}

// Non-zero components strictly increase in magnitude.
bool increasing(int len, const double* e) {
    double last = 0;
    for (int i = 0; i < len; ++i) {
        if (e[i] == 0) continue;
        if (std::fabs(e[i]) <= last) return false;
        last = std::fabs(e[i]);
    }
    return true;
}

class ExpansionTest : public PredicateTest {
protected:
    // An expansion of `len` components with random 53-bit mantissas, spaced
    // so that they do not overlap, the largest near 2^top.
    std::vector<double> randomExpansion(int len, int top) {
        std::vector<double> e(static_cast<std::size_t>(len));
        int exponent = top - 53 * len - 7 * len;
        for (int i = 0; i < len; ++i) {
            const double m = std::floor(uniform(0x1p52, 0x1p53)) * (uniform(0, 1) < 0.5 ? -1 : 1);
            e[std::size_t(i)] = std::ldexp(m, exponent);
            exponent += 53 + 7;
        }
        return e;
    }
    // An expansion as the predicates produce them: an exact sum of two
    // doubles scaled exactly by a third.
    std::vector<double> productExpansion() {
        const double x = uniform(-1, 1), y = uniform(-1, 1) * 1e-17;
        double g[2], out[4];
        const int lg = grow_expansion_zeroelim(1, &y, x, g);
        const int n = scale_expansion_zeroelim(lg, g, uniform(-1e3, 1e3), out);
        return std::vector<double>(out, out + n);
    }
};

TEST_F(ExpansionTest, SumsKeepTheExactValue) {
    using Sum = int (*)(int, const double*, int, const double*, double*);
    const Sum sums[] = {expansion_sum,      expansion_sum_zeroelim1,     expansion_sum_zeroelim2,
                        fast_expansion_sum, fast_expansion_sum_zeroelim, linear_expansion_sum,
                        linear_expansion_sum_zeroelim};
    for (int round = 0; round < 200; ++round) {
        const std::vector<double> e =
            round % 3 == 0 ? productExpansion() : randomExpansion(1 + round % 5, int(uniform(-30, 30)));
        std::vector<double> f = randomExpansion(1 + round % 4, int(uniform(-30, 30)));
        if (round % 7 == 0) f = e;  // sums that cancel in parts
        if (round % 11 == 0)
            for (double& v : f) v = -v;  // a sum that is exactly zero when f = -e
        const mpq_class expected = valueOf(int(e.size()), e.data()) + valueOf(int(f.size()), f.data());
        for (std::size_t k = 0; k < std::size(sums); ++k) {
            std::vector<double> h(e.size() + f.size() + 1);
            const int len = sums[k](int(e.size()), e.data(), int(f.size()), f.data(), h.data());
            ASSERT_GE(len, 1);
            ASSERT_EQ(valueOf(len, h.data()), expected) << "routine " << k << " round " << round;
            ASSERT_TRUE(increasing(len, h.data())) << "routine " << k;
        }
    }
}

TEST_F(ExpansionTest, GrowScaleCompressAndEstimate) {
    for (int round = 0; round < 200; ++round) {
        const std::vector<double> e = randomExpansion(1 + round % 6, int(uniform(-40, 40)));
        const int n = int(e.size());
        const double b = uniform(-1, 1) * std::ldexp(1.0, int(uniform(-30, 30)));
        const mpq_class ev = valueOf(n, e.data());

        std::vector<double> h(2 * e.size() + 2);
        int len = grow_expansion(n, e.data(), b, h.data());
        EXPECT_EQ(len, n + 1);
        EXPECT_EQ(valueOf(len, h.data()), ev + mpq_class(b));
        len = grow_expansion_zeroelim(n, e.data(), b, h.data());
        EXPECT_EQ(valueOf(len, h.data()), ev + mpq_class(b));
        EXPECT_TRUE(increasing(len, h.data()));

        len = scale_expansion(n, e.data(), b, h.data());
        EXPECT_EQ(len, 2 * n);
        EXPECT_EQ(valueOf(len, h.data()), ev * mpq_class(b));
        len = scale_expansion_zeroelim(n, e.data(), b, h.data());
        EXPECT_EQ(valueOf(len, h.data()), ev * mpq_class(b));
        EXPECT_TRUE(increasing(len, h.data()));

        // compress in place keeps the value and leaves the largest component
        // within rounding of it.
        const mpq_class hv = valueOf(len, h.data());
        const int clen = compress(len, h.data(), h.data());
        EXPECT_LE(clen, len);
        EXPECT_EQ(valueOf(clen, h.data()), hv);
        const double top = h[std::size_t(clen - 1)];
        EXPECT_LE(std::fabs(top - hv.get_d()), std::fabs(top) * 0x1p-52);
        EXPECT_NEAR(estimate(clen, h.data()), hv.get_d(), std::fabs(hv.get_d()) * 1e-15);
    }
}

TEST_F(ExpansionTest, ZeroResultsKeepOneComponent) {
    const double e[2] = {0x1p-60, 1.0};
    const double f[2] = {-0x1p-60, -1.0};
    double h[5];
    EXPECT_EQ(fast_expansion_sum_zeroelim(2, e, 2, f, h), 1);
    EXPECT_EQ(h[0], 0.0);
    EXPECT_EQ(linear_expansion_sum_zeroelim(2, e, 2, f, h), 1);
    EXPECT_EQ(h[0], 0.0);
    EXPECT_EQ(expansion_sum_zeroelim1(2, e, 2, f, h), 1);
    EXPECT_EQ(h[0], 0.0);
    EXPECT_EQ(scale_expansion_zeroelim(2, e, 0.0, h), 1);
    EXPECT_EQ(h[0], 0.0);
}

TEST_F(PredicateTest, RandomGeneratorsStayInTheirRanges) {
    for (int i = 0; i < 1000; ++i) {
        EXPECT_LT(std::fabs(uniformdoublerand()), 0x1p53);
        EXPECT_LT(std::fabs(narrowdoublerand()), 0x1p61);
        EXPECT_TRUE(std::isfinite(doublerand()));
        EXPECT_LT(std::fabs(uniformfloatrand()), 0x1p24f);
        EXPECT_LT(std::fabs(narrowfloatrand()), 0x1p32f);
        EXPECT_TRUE(std::isfinite(floatrand()));
    }
}

}  // namespace

// --- Tests on double vectors ------------------------------------------------------

#include "core/geometry.h"

namespace {

using qel::dvec2;
using qel::dvec3;

class GeometryTest : public ::testing::Test {
protected:
    void SetUp() override { qel::InitExactPredicates(); }
};

TEST_F(GeometryTest, OrientationClasses) {
    EXPECT_EQ(qel::OrientLine({0, 0}, {1, 0}, {0, 1}), 2);
    EXPECT_EQ(qel::OrientLine({0, 0}, {0, 1}, {1, 0}), 0);
    EXPECT_EQ(qel::OrientLine({0, 0}, {1, 1}, {3, 3}), 1);
    // Exactly positive, but below float range: counts as collinear.
    EXPECT_GT(qel::Orient2D({0, 0}, {1e-30, 0}, {0, 1e-30}), 0.0);
    EXPECT_EQ(qel::OrientLine({0, 0}, {1e-30, 0}, {0, 1e-30}), 1);

    EXPECT_EQ(qel::OrientPlane({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, -1}), 2);
    EXPECT_EQ(qel::OrientPlane({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}), 0);
    EXPECT_EQ(qel::OrientPlane({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, -7, 0}), 1);
    // The plane class is decided in double: tiny values still count.
    EXPECT_EQ(qel::OrientPlane({0, 0, 0}, {1e-30, 0, 0}, {0, 1e-30, 0}, {0, 0, -1e-30}), 2);
}

TEST_F(GeometryTest, PointInCircleAndSphereByCentre) {
    const dvec2 c(0.1, -3.7);
    EXPECT_EQ(qel::InCircleCenter(c, c, 5), 0);
    EXPECT_EQ(qel::InCircleCenter({3, 4}, {0, 0}, 5), 1);
    EXPECT_EQ(qel::InCircleCenter({6, 8}, {0, 0}, 5), 2);
    EXPECT_EQ(qel::InCircleCenter({c.x + 10, c.y}, c, 5), 2);

    const dvec3 s(1.5, -2, 0.25);
    EXPECT_EQ(qel::InSphereCenter(s, s, 2), 0);
    EXPECT_EQ(qel::InSphereCenter({1, 2, 2}, {0, 0, 0}, 3), 1);
    EXPECT_EQ(qel::InSphereCenter({2, 4, 4}, {0, 0, 0}, 3), 2);
    EXPECT_EQ(qel::InSphereCenter({s.x, s.y, s.z + 1.9}, s, 2), 0);
}

TEST_F(GeometryTest, SegmentsIntersect) {
    EXPECT_TRUE(qel::SegmentsIntersect({0, 0}, {2, 0}, {1, -1}, {1, 1}));
    EXPECT_FALSE(qel::SegmentsIntersect({0, 0}, {2, 0}, {3, -1}, {3, 1}));
    EXPECT_FALSE(qel::SegmentsIntersect({0, 0}, {2, 0}, {1, 0.5}, {1, 1}));
    // Collinear overlapping segments: both orientations are zero.
    EXPECT_FALSE(qel::SegmentsIntersect({0, 0}, {2, 0}, {1, 0}, {3, 0}));
    // An end exactly on the other segment's line counts as lying on its
    // positive side: touching from the negative side crosses, from the
    // positive side it does not.
    EXPECT_TRUE(qel::SegmentsIntersect({0, -1}, {0, 1}, {1, 0}, {0, 0}));
    EXPECT_FALSE(qel::SegmentsIntersect({0, -1}, {0, 1}, {-1, 0}, {0, 0}));
}

TEST_F(GeometryTest, HalfLineAgainstSegment) {
    EXPECT_TRUE(qel::HalfLineIntersectsSegment({0, 0}, {1, 0}, {2, -1}, {2, 1}));
    EXPECT_FALSE(qel::HalfLineIntersectsSegment({0, 0}, {1, 0}, {-2, -1}, {-2, 1}));
    EXPECT_TRUE(qel::HalfLineIntersectsSegment({0, 0}, {1, 0}, {0.5, -1}, {0.5, 1}));
    EXPECT_TRUE(qel::HalfLineIntersectsSegment({0, 0}, {1, 0}, {2, -1}, {2, 1}) ==
                qel::HalfLineIntersectsSegment({0, 0}, {1, 0}, {2, 1}, {2, -1}));
    EXPECT_FALSE(qel::HalfLineIntersectsSegment({0, 0}, {1, 0}, {2, 0.5}, {2, 1}));
    EXPECT_TRUE(qel::HalfLineIntersectsSegment({0, 0}, {1, 0}, {2, 0}, {2, 1}));  // touching end
    // All four collinear: true even behind p0.
    EXPECT_TRUE(qel::HalfLineIntersectsSegment({0, 0}, {1, 0}, {-3, 0}, {-2, 0}));
}

TEST_F(GeometryTest, PointInTriangle) {
    const dvec2 a(0, 0), b(4, 0), c(0, 4);
    EXPECT_TRUE(qel::InTriangle({1, 1}, a, b, c));
    EXPECT_TRUE(qel::InTriangle({1, 1}, a, c, b));  // either orientation
    EXPECT_TRUE(qel::InTriangle(a, a, b, c));       // a vertex
    EXPECT_TRUE(qel::InTriangle({2, 2}, a, b, c));  // on the hypotenuse
    EXPECT_TRUE(qel::InTriangle({2, 0}, a, b, c));
    EXPECT_FALSE(qel::InTriangle({2.5, 2}, a, b, c));
    EXPECT_FALSE(qel::InTriangle({-1, 1}, a, b, c));
    EXPECT_FALSE(qel::InTriangle({5, 5}, a, b, c));
    // Collinear triangle: points on its line within its box count.
    EXPECT_TRUE(qel::InTriangle({1, 1}, {0, 0}, {2, 2}, {3, 3}));
    EXPECT_FALSE(qel::InTriangle({4, 4}, {0, 0}, {2, 2}, {3, 3}));
    EXPECT_FALSE(qel::InTriangle({1, 1.5}, {0, 0}, {2, 2}, {3, 3}));
    // One ulp outside or inside the hypotenuse x + y = 4.
    EXPECT_FALSE(qel::InTriangle({2, std::nextafter(2.0, 3.0)}, a, b, c));
    EXPECT_TRUE(qel::InTriangle({2, std::nextafter(2.0, 1.0)}, a, b, c));
}

TEST_F(GeometryTest, SegmentThroughTriangle) {
    const dvec3 a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
    dvec3 out(-1, -1, -1);
    ASSERT_TRUE(qel::IntersectionTriangleSegment(a, b, c, {0.25, 0.25, -1}, {0.25, 0.25, 3}, out));
    EXPECT_NEAR(out.x, 0.25, 1e-12);
    EXPECT_NEAR(out.y, 0.25, 1e-12);
    EXPECT_NEAR(out.z, 0.0, 1e-12);
    ASSERT_TRUE(qel::IntersectionTriangleSegment(a, b, c, {0, 0, 1}, {0.5, 0.5, -1}, out));
    EXPECT_NEAR(out.x, 0.25, 1e-7);
    EXPECT_NEAR(out.z, 0.0, 1e-7);
    // Outside the triangle, or both ends on one side of its plane.
    EXPECT_FALSE(qel::IntersectionTriangleSegment(a, b, c, {0.8, 0.8, -1}, {0.8, 0.8, 1}, out));
    EXPECT_FALSE(qel::IntersectionTriangleSegment(a, b, c, {0.2, 0.2, 0.5}, {0.2, 0.2, 1}, out));
    // A sliver whose edge vectors vanish in float still yields a point on
    // the segment, in the triangle's plane.
    ASSERT_TRUE(qel::IntersectionTriangleSegment(a, {1e-50, 0, 0}, {0, 1e-50, 0}, {1e-51, 1e-51, -1},
                                                 {1e-51, 1e-51, 1}, out));
    EXPECT_TRUE(std::isfinite(out.x) && std::isfinite(out.y) && std::isfinite(out.z));
    EXPECT_EQ(out.z, 0.0);
}

TEST_F(GeometryTest, PlaneSegmentIntersection) {
    const dvec3 x = qel::CalculateIntersectionPlaneSegment({0, 0, 0.5}, {0, 0, 2}, {1, 2, 0}, {1, 2, 2});
    EXPECT_DOUBLE_EQ(x.x, 1);
    EXPECT_DOUBLE_EQ(x.y, 2);
    EXPECT_DOUBLE_EQ(x.z, 0.5);
    const dvec3 y = qel::CalculateIntersectionPlaneSegment({1, 1, 1}, {1, 1, 0}, {0, 0, 0}, {2, 2, 4});
    EXPECT_DOUBLE_EQ(y.x, 1);
    EXPECT_DOUBLE_EQ(y.z, 2);
    // A segment parallel to the plane gives its first end, not NaN.
    const dvec3 z = qel::CalculateIntersectionPlaneSegment({0, 0, 1}, {0, 0, 1}, {3, 4, 0}, {5, 6, 0});
    EXPECT_EQ(z, dvec3(3, 4, 0));
}

}  // namespace
