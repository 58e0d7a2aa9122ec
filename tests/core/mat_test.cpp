// Vectors and matrices: known results of each factory and the conventions
// every caller relies on (row-major layout, column vectors, the normalising
// rule, no NaN from degenerate input).

#include "core/mat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <vector>

using qel::mat3;
using qel::mat4;
using qel::vec3;

namespace {

template <class M>
void expectNear(const M& a, const M& b, float tol = 1e-6f) {
    for (std::size_t i = 0; i < std::size(a.m); ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}
void expectNear(const vec3& a, const vec3& b, float tol = 1e-6f) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(a[i], b[i], tol) << "component " << i;
}
// The right-handed rotation about Z (rows (c, -s, 0), (s, c, 0), (0, 0, 1)).
mat3 Rz(double t) {
    const float c = float(std::cos(t)), s = float(std::sin(t));
    return {c, -s, 0, s, c, 0, 0, 0, 1};
}
bool isOrthonormal(const mat3& F, float tol = 1e-6f) {
    const mat3 P = F.transposed() * F;
    for (int i = 0; i < 9; ++i)
        if (std::fabs(P.m[i] - (i % 4 == 0 ? 1.0f : 0.0f)) > tol) return false;
    return std::fabs(F.determinant() - 1.0) < tol;
}

static_assert(sizeof(vec3) == 12 && sizeof(mat4) == 64, "packed for vertex buffers and records");

}  // namespace

TEST(MatLayout, RowMajorColumnVectorsRightFactorFirst) {
    const mat4 T = mat4::Translation(5, 6, 7);
    EXPECT_EQ(T.transformPoint(vec3(1, 1, 1)), vec3(6, 7, 8));
    const mat3 A(1, 2, 3, 4, 5, 6, 7, 8, 10);
    EXPECT_EQ(mat3::Scale(1, 0, 1).inverse(), mat3());  // singular: identity
    EXPECT_EQ((mat4::Scale(2) * mat4::Translation(1, 0, 0)).transformPoint(vec3(1, 1, 1)), vec3(4, 2, 2));
    // mat3 * mat4 is the 4x4 block times the mat3; the translation is ignored.
    mat4 B = mat4::FromMat3(mat3(0, -1, 0, 1, 0, 0, 0, 0, 1));
    B.setTranslation(vec3(9, 9, 9));
    EXPECT_EQ(A * B, mat3(-4, -5, -6, 1, 2, 3, 7, 8, 10));
    // 1 + e + e: float steps would round each half-ulp away, double keeps 1 + 2e.
    const float e = std::ldexp(1.0f, -24);
    mat4 X, Y;
    X.m[1] = X.m[2] = 1.0f;
    Y.m[4] = Y.m[8] = e;
    EXPECT_EQ((X * Y).m[0], 1.0f + 2 * e);
}

TEST(Mat3Factories, RotationsAndFrames) {
    // Rotation(a, b, c) is the transpose of Rx(a) Ry(b) Rz(c).
    const float a = 0.3f, b = -0.5f, c = 1.1f;
    const mat3 Rx(1, 0, 0, 0, std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a));
    const mat3 Ry(std::cos(b), 0, std::sin(b), 0, 1, 0, -std::sin(b), 0, std::cos(b));
    expectNear(mat3::Rotation(a, b, c), (Rx * Ry * Rz(c)).transposed());
    EXPECT_EQ(mat3::Rotation(vec3(1, 0, 0), vec3(0, 2, 0)), mat3(0, -1, 0, 1, 0, 0, 0, 0, 1));
    EXPECT_EQ(mat3::Rotation(vec3(1, 0, 0), vec3(-3, 0, 0)), mat3(-1, 0, 0, 0, 1, 0, 0, 0, -1));  // opposite
    EXPECT_EQ(mat3::Rotation(vec3(0, 0, 0), vec3(1, 2, 3)), mat3());
    expectNear(mat3::RotationScale(vec3(2, 0, 0), vec3(0, 1, 0)), mat3(0, -1, 0, 0.5f, 0, 0, 0, 0, 1));
    expectNear(mat3::RotationAroundAxis(vec3(0, 0, 2), 0.9f), Rz(0.9f));  // right-handed

    EXPECT_EQ(mat3::Frame(vec3(0, 0, 1)), mat3(0, 1, 0, -1, 0, 0, 0, 0, 1));
    EXPECT_EQ(mat3::Frame(vec3(1e-21f, 0, 0)), mat3());
    expectNear(mat3::Frame(vec3(1, 1, 1)).column(0), vec3(0, -1, 1) * float(std::sqrt(0.5)));  // a tie: the first
    const vec3 x(1, 2, 0.5f), z(-0.3f, 0.2f, 1);
    const mat3 G = mat3::FrameXZ(x, z), H = mat3::FrameYZ(x, z);
    EXPECT_TRUE(isOrthonormal(G) && isOrthonormal(H));
    expectNear(G.column(2), qel::normalize(z));
    EXPECT_NEAR(qel::dot(G.column(0), z), 0.0, 1e-6);
    EXPECT_GT(qel::dot(G.column(0), x), 0.0);
    // A missing or parallel x (y) falls back on Frame(z).
    EXPECT_EQ(mat3::FrameXZ(vec3(0, 0, 0), z), mat3::Frame(z));
    EXPECT_EQ(mat3::FrameYZ(z, z), mat3::Frame(z));
    // Parallel to a z off the axes only a rounding residue is left of x':
    // the frame stays orthonormal whatever direction the residue takes.
    for (const vec3 d : {vec3(0.3f, -0.7f, 0.64f), vec3(1, 1, 1), vec3(-2, 0.5f, 7)})
        for (const float s : {3.0f, -2.0f, 1.0f + 1e-7f}) {
            EXPECT_NEAR(mat3::FrameXZ(d * s, d).determinant(), 1.0, 1e-5);
            EXPECT_NEAR(mat3::FrameYZ(d * s, d).determinant(), 1.0, 1e-5);
        }
}

// Opposite directions turn by a half turn about an axis across both, never
// by the point reflection -I; short inputs do not change that.
TEST(Mat4, RotationBetweenOppositeDirectionsIsAHalfTurn) {
    const vec3 directions[] = {{1, 0, 0}, {0, -2, 0}, {0, 0, 5}, {1, 2, 3}, {-0.3f, 0.7f, -0.2f},
                               {1e-12f, -3e-12f, 2e-12f}, {1e30f, 1e30f, -1e30f}};
    for (const vec3& a : directions) {
        for (float k : {-1.0f, -4.0f}) {
            const vec3 b = a * k;
            SCOPED_TRACE(testing::Message() << a.x << " " << a.y << " " << a.z << " k " << k);
            const mat4 R = mat4::Rotation(a, b);
            const mat3 B = R.block();
            EXPECT_TRUE(isOrthonormal(B));  // determinant +1 included
            EXPECT_NEAR(B.determinant(), 1.0, 1e-6);
            expectNear(R.translation(), vec3(0, 0, 0), 0.0f);
            expectNear(B * qel::normalize(a), qel::normalize(b), 1e-6f);
            // A half turn: it squares to I and its trace is -1.
            expectNear(B * B, mat3(), 1e-6f);
            EXPECT_NEAR(B.m[0] + B.m[4] + B.m[8], -1.0f, 1e-6f);
        }
    }
    // The axis: the coordinate axis of the smallest component, made across.
    EXPECT_EQ(mat4::Rotation(vec3(0, 0, 1), vec3(0, 0, -2)), mat4::Scale(1, -1, -1));
    // Equal directions and a zero input still give no turn.
    EXPECT_EQ(mat4::Rotation(vec3(1, 2, 3), vec3(2, 4, 6)), mat4());
    EXPECT_EQ(mat4::Rotation(vec3(0, 0, 0), vec3(-1, 0, 0)), mat4());
    // The stretch of RotationScale then takes a exactly onto b, turning.
    const mat3 S = mat3::RotationScale(vec3(0, 2, 0), vec3(0, -6, 0));
    expectNear(S * vec3(0, 2, 0), vec3(0, -6, 0), 1e-5f);
    EXPECT_GT(S.determinant(), 0.0);
}

TEST(Mat3Constrained, AngleAndRotationAboutAnAxisWithoutNaN) {
    EXPECT_NEAR(mat3::ConstrainedAngle(Rz(0.4) * 2.0f, vec3(0, 0, 5)), 0.4, 1e-6);
    EXPECT_NEAR(mat3::ConstrainedAngle(Rz(0.4), vec3(0, 0, -1)), -0.4, 1e-6);
    // A turn about the axis itself is kept as it is, with its uniform scale.
    expectNear(mat3::ConstrainedRotation(Rz(0.4) * 2.0f, vec3(0, 0, 3)), Rz(0.4) * 2.0f, 2e-6f);
    const vec3 n = qel::normalize(vec3(-1, 0.5f, 2));
    const mat3 M = mat3::RotationAroundAxis(vec3(3, 1, 0), 0.8f) * 1.5f;
    const mat3 C = mat3::ConstrainedRotation(M, n);
    EXPECT_NEAR(C.determinant(), 1.5 * 1.5 * 1.5, 1e-4);
    expectNear(C * n, n * 1.5f, 1e-5f);
    EXPECT_NEAR(mat3::ConstrainedAngle(C, n), mat3::ConstrainedAngle(M, n), 1e-5);
    // Mirrored: the real cube root of the negative determinant.
    EXPECT_NEAR(mat3::ConstrainedAngle(Rz(0.4) * (-2.0f), vec3(0, 0, 1)), 0.4, 1e-6);
    expectNear(mat3::ConstrainedRotation(Rz(0.4) * (-2.0f), vec3(0, 0, 1)), Rz(0.4) * (-2.0f), 2e-6f);
    // Determinant 0 or not finite: angle 0, matrix unchanged.
    const mat3 flat = mat3::Scale(1, 0, 1);
    EXPECT_EQ(mat3::ConstrainedAngle(flat, vec3(0, 0, 1)), 0.0);
    EXPECT_EQ(mat3::ConstrainedRotation(flat, vec3(0, 0, 1)), flat);
    mat3 B = Rz(0.4);
    B.m[4] = std::numeric_limits<float>::infinity();
    EXPECT_EQ(mat3::ConstrainedAngle(B, vec3(0, 0, 1)), 0.0);
    EXPECT_EQ(mat3::ConstrainedRotation(B, vec3(0, 0, 1)), B);
    EXPECT_TRUE(mat4::ConstrainedRotation(mat4::Mirror(vec3(1, 0, 0)), vec3(0, 0, 1)).isFinite());
}

TEST(Mat4, CentreMirrorAndInverses) {
    const mat4 C = mat4::RotationScaleCenter(vec3(1, 1, 0), vec3(2, 1, 0), vec3(1, 3, 0));
    expectNear(C.block(), mat3(0, -1, 0, 2, 0, 0, 0, 0, 1));
    expectNear(C.translation(), vec3(2, -1, 0));
    expectNear(mat4::Mirror(vec3(0, 0, 2), vec3(1, 2, 3)).transformPoint(vec3(0, 0, 4)), vec3(0, 0, 2));

    const mat4 R = mat4::Rotation(0.3f, -0.7f, 1.2f);
    expectNear(R.inverse(), R.transposed());
    mat4 M = mat4::RotationScaleCenter(vec3(1, -2, 0.5f), vec3(3, 1, 2), vec3(-1, 4, 0));
    M = mat4::Translation(0.5f, 8, -3) * M * mat4::Scale(2, 0.5f, 3);
    expectNear(M * M.inverse(), mat4(), 1e-5f);
    expectNear(M.inverseFull(), M.inverse(), 1e-5f);
    // The affine inverse does not read the last row and writes 0 0 0 1.
    mat4 N = M;
    N.m[12] = 7, N.m[15] = 3;
    EXPECT_EQ(N.inverse(), M.inverse());

    mat4 P;  // a perspective projection
    P.m[10] = -1.2f, P.m[11] = -2.2f, P.m[14] = -1, P.m[15] = 0;
    expectNear(P * P.inverseFull(), mat4());

    // The guarded form refuses a singular block or an inverse that overflows.
    mat4 out;
    EXPECT_TRUE(M.tryInverse(out));
    EXPECT_EQ(out, M.inverse());
    for (const mat4& bad : {mat4::Scale(1, 0, 1), mat4::Scale(1e-39f, 1, 1)}) {
        out = mat4::Translation(1, 2, 3);
        EXPECT_FALSE(bad.tryInverse(out));
        EXPECT_EQ(out, mat4::Translation(1, 2, 3));
    }
}

namespace {

// Reads the components of three points widened to double along an axis
// pair chosen from the data, as the exact predicates' views of a plane do.
double readAlong(const std::vector<vec3>& p, int axis) {
    const qel::dvec3 a(p[0]), b(p[1]), c(p[2]);
    const int i = (axis + 1) % 3, j = (axis + 2) % 3;
    return a[i] * 100 + b[j] * 10 + c[i];
}

// A double vector rounded to float and widened back, called through a
// pointer so that it is compiled as a body of its own, straight-line code
// whose components a vectorising compiler packs together.
qel::dvec3 throughFloat(const qel::dvec3& u) { return qel::dvec3(vec3(u)); }
qel::dvec3 (*const volatile roundTrip)(const qel::dvec3&) = throughFloat;

}  // namespace

TEST(Vectors, IndexingReadsAndWritesEveryComponent) {
    // Components written by the constructors and read by index at an index
    // known only at run time: each read sees its own component.
    const std::vector<vec3> p = {vec3(1, 2, 3), vec3(4, 5, 6), vec3(7, 8, 9)};
    EXPECT_EQ(readAlong(p, 0), 268.0);
    EXPECT_EQ(readAlong(p, 1), 349.0);
    EXPECT_EQ(readAlong(p, 2), 157.0);

    // Writes by index land in the named members, of every vector kind.
    const std::vector<int> order = {2, 0, 3, 1};
    qel::vec4 f;
    qel::wvec4 w;
    qel::bvec4 b;
    qel::dvec3 d;
    qel::vec2 t;
    for (const int i : order) {
        f[i] = float(i + 1);
        w[i] = std::uint16_t(10 * (i + 1));
        b[i] = std::uint8_t(i + 5);
        if (i < 3) d[i] = 0.5 * i;
        if (i < 2) t[i] = float(-i);
    }
    EXPECT_EQ(f, qel::vec4(1, 2, 3, 4));
    EXPECT_TRUE(w.r == 10 && w.g == 20 && w.b == 30 && w.a == 40);
    EXPECT_EQ(b, qel::bvec4(5, 6, 7, 8));
    EXPECT_EQ(d, qel::dvec3(0, 0.5, 1));
    EXPECT_EQ(t, qel::vec2(0, -1));
    double sum = 0;
    for (const int i : order)
        if (i < 3) sum += d[i] * (i + 1);
    EXPECT_EQ(sum, 4.0);
}

TEST(Vectors, RoundingToFloatIsKeptWhenWidenedBack) {
    // A difference rounded to float and read back in double carries the
    // float's value on every component, however the compiler packs them.
    const std::vector<double> in = {0.1, 0.2, 0.3, -1.0 / 3.0};
    for (std::size_t k = 0; k + 3 <= in.size(); ++k) {
        const qel::dvec3 r = roundTrip(qel::dvec3(in[k], in[k + 1], in[k + 2]));
        EXPECT_EQ(r.x, double(float(in[k]))) << k;
        EXPECT_EQ(r.y, double(float(in[k + 1]))) << k;
        EXPECT_EQ(r.z, double(float(in[k + 2]))) << k;
    }
}
