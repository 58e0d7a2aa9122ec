// Vectors and matrices: known results of each factory and the conventions
// every caller relies on (row-major layout, column vectors, the normalising
// rule, no NaN from degenerate input).

#include "core/mat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>
#include <type_traits>

using qel::mat3;
using qel::mat4;
using qel::vec3;
using qel::vec4;

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
template <class M>
bool allFinite(const M& a) {
    for (float e : a.m)
        if (!std::isfinite(e)) return false;
    return true;
}
bool isOrthonormal(const mat3& F, float tol = 1e-6f) {
    const mat3 P = F.transposed() * F;
    for (int i = 0; i < 9; ++i)
        if (std::fabs(P.m[i] - (i % 4 == 0 ? 1.0f : 0.0f)) > tol) return false;
    return std::fabs(F.determinant() - 1.0) < tol;
}

}  // namespace

TEST(VecTypes, LayoutNormalisingAndDoubleDot) {
    static_assert(sizeof(vec3) == 12 && sizeof(vec4) == 16 && sizeof(qel::dvec3) == 24, "packed vectors");
    static_assert(sizeof(qel::bvec4) == 4 && sizeof(qel::wvec4) == 8, "colour quadruples");
    static_assert(sizeof(mat3) == 36 && sizeof(mat4) == 64 && std::is_trivially_copyable<mat4>::value, "plain");
    vec3 a[2] = {{1, 2, 3}, {4, 5, 6}};
    EXPECT_EQ(a[0].data()[3], 4.0f);

    EXPECT_EQ(qel::normalize(vec3(0, 0, 0)), vec3(0, 0, 0));
    EXPECT_EQ(qel::normalize(vec3(1e-11f, 0, 0)), vec3(1e-11f, 0, 0));  // squared length <= 1e-20: kept
    expectNear(qel::normalize(vec3(3, 0, 4)), vec3(0.6f, 0, 0.8f));
    EXPECT_TRUE(qel::nearZero(vec3(1e-21f, -1e-21f, 0)));
    EXPECT_FALSE(qel::isZero(vec3(1e-30f, 0, 0)));
    EXPECT_TRUE(qel::isZero(vec3(-0.0f, 0, 0)));
    // 16777217 is not a float but the double sum is exact.
    EXPECT_DOUBLE_EQ(qel::dot(vec3(16777216.0f, 1, 0), vec3(1, 1, 0)), 16777217.0);
}

TEST(MatLayout, RowMajorColumnVectorsRightFactorFirst) {
    const mat4 T = mat4::Translation(5, 6, 7);
    EXPECT_EQ(T.m[3], 5.0f);
    EXPECT_EQ(T.transformPoint(vec3(1, 1, 1)), vec3(6, 7, 8));
    EXPECT_EQ(T.transformVector(vec3(1, 1, 1)), vec3(1, 1, 1));
    const mat3 A(1, 2, 3, 4, 5, 6, 7, 8, 10);
    EXPECT_EQ(A * vec3(1, 0, 0), vec3(1, 4, 7));
    EXPECT_DOUBLE_EQ(A.determinant(), -3.0);
    expectNear(A * A.inverse(), mat3(), 1e-5f);
    EXPECT_EQ(mat3::Scale(1, 0, 1).inverse(), mat3());  // singular: identity

    EXPECT_EQ((mat4::Translation(1, 0, 0) * mat4::Scale(2)).transformPoint(vec3(1, 1, 1)), vec3(3, 2, 2));
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

TEST(Mat3Factories, ScaleMirrorAndEulerRotation) {
    EXPECT_EQ(mat3::Scale(2, 3, 4), mat3(2, 0, 0, 0, 3, 0, 0, 0, 4));
    expectNear(mat3::Scale(vec3(0, 0, 5), 2.0f), mat3(1, 0, 0, 0, 1, 0, 0, 0, 3));  // stretch by 1 + s along n
    expectNear(mat3::Scale(vec3(1, 1, 0), 1.0f) * vec3(1, -1, 0), vec3(1, -1, 0));
    EXPECT_EQ(mat3::Scale(vec3(0, 0, 0), 7.0f), mat3());

    EXPECT_EQ(mat3::Mirror(vec3(0, 0, 0)), mat3());
    const mat3 M = mat3::Mirror(vec3(1, 1, 0));
    expectNear(M * vec3(1, 1, 0), vec3(-1, -1, 0));
    expectNear(M * vec3(1, -1, 5), vec3(1, -1, 5));

    // Rotation(a, b, c) is the transpose of Rx(a) Ry(b) Rz(c).
    const float a = 0.3f, b = -0.5f, c = 1.1f;
    const mat3 Rx(1, 0, 0, 0, std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a));
    const mat3 Ry(std::cos(b), 0, std::sin(b), 0, 1, 0, -std::sin(b), 0, std::cos(b));
    expectNear(mat3::Rotation(a, b, c), (Rx * Ry * Rz(c)).transposed());
    EXPECT_TRUE(isOrthonormal(mat3::Rotation(a, b, c)));
}

TEST(Mat3Factories, RotationsBetweenVectorsAndAboutAxes) {
    EXPECT_EQ(mat3::Rotation(vec3(1, 0, 0), vec3(0, 2, 0)), mat3(0, -1, 0, 1, 0, 0, 0, 0, 1));
    EXPECT_EQ(mat3::Rotation(vec3(1, 0, 0), vec3(-3, 0, 0)), mat3(-1, 0, 0, 0, -1, 0, 0, 0, -1));  // opposite
    EXPECT_EQ(mat3::Rotation(vec3(0, 0, 0), vec3(1, 2, 3)), mat3());
    const vec3 a(1, 2, 3), b(-2, 0.5f, 1);
    const mat3 R = mat3::Rotation(a, b);
    EXPECT_TRUE(isOrthonormal(R));
    expectNear(R * qel::normalize(a), qel::normalize(b));
    const vec3 n = qel::normalize(qel::cross(a, b));
    expectNear(R * n, n);  // the axis a x b is fixed

    expectNear(mat3::RotationScale(vec3(2, 0, 0), vec3(0, 1, 0)), mat3(0, -1, 0, 0.5f, 0, 0, 0, 0, 1));
    expectNear(mat3::RotationScale(a, vec3(-4, 1, 2)) * a, vec3(-4, 1, 2), 2e-6f);
    // A zero first vector is outside the contract and gives NaN.
    EXPECT_FALSE(allFinite(mat3::RotationScale(vec3(0, 0, 0), vec3(1, 0, 0))));

    expectNear(mat3::RotationAroundAxis(vec3(0, 0, 2), 0.9f), Rz(0.9f));  // right-handed
    EXPECT_EQ(mat3::RotationAroundAxis(vec3(0, 0, 0), 0.9f), mat3());
    const vec3 k = qel::normalize(vec3(1, -2, 0.5f));
    const mat3 K = mat3::RotationAroundAxis(k * 4.0f, 1.3f);
    EXPECT_TRUE(isOrthonormal(K));
    expectNear(K * k, k);
}

TEST(Mat3Factories, FramesAreRightHandedAndOrthonormal) {
    EXPECT_EQ(mat3::Frame(vec3(0, 0, 1)), mat3(0, 1, 0, -1, 0, 0, 0, 0, 1));
    EXPECT_EQ(mat3::Frame(vec3(0, 0, 0)), mat3());
    EXPECT_EQ(mat3::Frame(vec3(1e-21f, 0, 0)), mat3());
    for (const vec3& d : {vec3(1, 0, 0), vec3(0, -1, 0), vec3(0.3f, -2, 7), vec3(-1, -1, 0.01f)}) {
        const mat3 F = mat3::Frame(d);
        EXPECT_TRUE(isOrthonormal(F));
        expectNear(F * vec3(0, 0, 1), qel::normalize(d));
    }

    const vec3 x(1, 2, 0.5f), z(-0.3f, 0.2f, 1);
    EXPECT_EQ(mat3::FrameXZ(vec3(1, 0, 1), vec3(0, 0, 2)), mat3());
    const mat3 G = mat3::FrameXZ(x, z), H = mat3::FrameYZ(x, z);
    EXPECT_TRUE(isOrthonormal(G) && isOrthonormal(H));
    expectNear(G.column(2), qel::normalize(z));
    EXPECT_NEAR(qel::dot(G.column(0), z), 0.0, 1e-6);
    EXPECT_GT(qel::dot(G.column(0), x), 0.0);
    EXPECT_NEAR(qel::dot(H.column(1), z), 0.0, 1e-6);
    EXPECT_GT(qel::dot(H.column(1), x), 0.0);
    // A missing or parallel x (y) falls back on Frame(z).
    EXPECT_EQ(mat3::FrameXZ(vec3(0, 0, 0), z), mat3::Frame(z));
    EXPECT_EQ(mat3::FrameYZ(z, z), mat3::Frame(z));
    EXPECT_EQ(mat3::FrameXZ(vec3(0, -2, 0), vec3(0, 5, 0)), mat3::Frame(vec3(0, 5, 0)));
    EXPECT_EQ(mat3::FrameXZ(vec3(1, 0, 0), vec3(0, 0, 0)), mat3::Frame(vec3(0, 0, 0)));
    // Parallel to a z off the axes only a rounding residue is left of x':
    // the frame stays orthonormal whatever direction the residue takes.
    for (const vec3 d : {vec3(0.3f, -0.7f, 0.64f), vec3(1, 1, 1), vec3(-2, 0.5f, 7)})
        for (const float s : {3.0f, -2.0f, 1.0f + 1e-7f}) {
            EXPECT_NEAR(mat3::FrameXZ(d * s, d).determinant(), 1.0, 1e-5);
            EXPECT_NEAR(mat3::FrameYZ(d * s, d).determinant(), 1.0, 1e-5);
        }
}

TEST(Mat3Constrained, AngleAndRotationAboutAnAxis) {
    EXPECT_NEAR(mat3::ConstrainedAngle(Rz(0.4) * 2.0f, vec3(0, 0, 5)), 0.4, 1e-6);
    EXPECT_NEAR(mat3::ConstrainedAngle(Rz(0.4), vec3(0, 0, -1)), -0.4, 1e-6);
    const vec3 k = qel::normalize(vec3(1, 2, -0.5f));
    EXPECT_NEAR(mat3::ConstrainedAngle(mat3::RotationAroundAxis(k, 2.5f) * 3.0f, k), 2.5, 1e-5);

    // A turn about the axis itself is kept as it is, with its uniform scale.
    expectNear(mat3::ConstrainedRotation(Rz(0.4) * 2.0f, vec3(0, 0, 3)), Rz(0.4) * 2.0f, 2e-6f);
    const vec3 n = qel::normalize(vec3(-1, 0.5f, 2));
    const mat3 M = mat3::RotationAroundAxis(vec3(3, 1, 0), 0.8f) * 1.5f;
    const mat3 C = mat3::ConstrainedRotation(M, n);
    EXPECT_NEAR(C.determinant(), 1.5 * 1.5 * 1.5, 1e-4);
    expectNear(C * n, n * 1.5f, 1e-5f);
    EXPECT_NEAR(mat3::ConstrainedAngle(C, n), mat3::ConstrainedAngle(M, n), 1e-5);
    expectNear(mat3::ConstrainedRotation(C, n), C, 1e-5f);  // idempotent
}

TEST(Mat3Constrained, MirroredAndDegenerateMatricesGiveNoNaN) {
    // Mirrored: the real cube root of the negative determinant.
    EXPECT_NEAR(mat3::ConstrainedAngle(Rz(0.4) * (-2.0f), vec3(0, 0, 1)), 0.4, 1e-6);
    expectNear(mat3::ConstrainedRotation(Rz(0.4) * (-2.0f), vec3(0, 0, 1)), Rz(0.4) * (-2.0f), 2e-6f);
    EXPECT_TRUE(std::isfinite(mat3::ConstrainedAngle(mat3::Mirror(vec3(1, 0, 0)) * Rz(0.3), vec3(0, 0, 1))));
    // Determinant 0 or not finite: angle 0, matrix unchanged.
    const mat3 flat = mat3::Scale(1, 0, 1);
    EXPECT_EQ(mat3::ConstrainedAngle(flat, vec3(0, 0, 1)), 0.0);
    EXPECT_EQ(mat3::ConstrainedRotation(flat, vec3(0, 0, 1)), flat);
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        mat3 B = Rz(0.4);
        B.m[4] = bad;
        EXPECT_EQ(mat3::ConstrainedAngle(B, vec3(0, 0, 1)), 0.0);
        const mat3 out = mat3::ConstrainedRotation(B, vec3(0, 0, 1));
        for (int i = 0; i < 9; ++i) EXPECT_TRUE(out.m[i] == B.m[i] || (std::isnan(out.m[i]) && std::isnan(B.m[i])));
    }
}

TEST(Mat4Factories, CentreMirrorAndConstrainedForms) {
    const mat4 M = mat4::RotationScaleCenter(vec3(1, 1, 0), vec3(2, 1, 0), vec3(1, 3, 0));
    expectNear(M.block(), mat3(0, -1, 0, 2, 0, 0, 0, 0, 1));
    expectNear(M.translation(), vec3(2, -1, 0));
    expectNear(M.transformPoint(vec3(1, 1, 0)), vec3(1, 1, 0));

    EXPECT_EQ(mat4::Mirror(vec3(0, 0, 0), vec3(1, 2, 3)), mat4());
    const mat4 P = mat4::Mirror(vec3(0, 0, 2), vec3(1, 2, 3));
    expectNear(P.transformPoint(vec3(5, 5, 3)), vec3(5, 5, 3));
    expectNear(P.transformPoint(vec3(0, 0, 4)), vec3(0, 0, 2));
    expectNear(P * P, mat4());

    mat4 R = mat4::FromMat3(mat3::Rotation(0.3f, 0.1f, 0.2f));
    R.setTranslation(vec3(5, 6, 7));
    const mat4 T = mat4::ConstrainedTranslation(R, vec3(1, 1, 0));
    expectNear(T.translation(), vec3(5.5f, 5.5f, 0));
    EXPECT_EQ(T.block(), R.block());
    EXPECT_EQ(mat4::ConstrainedTranslation(R, vec3(0, 0, 0)), R);

    mat4 S = mat4::FromMat3(Rz(0.4) * 2.0f);
    S.setTranslation(vec3(1, 2, 3));
    const mat4 C = mat4::ConstrainedRotation(S, vec3(0, 0, 3));
    expectNear(C.block(), Rz(0.4) * 2.0f, 2e-6f);
    EXPECT_EQ(C.translation(), vec3(1, 2, 3));
    EXPECT_EQ(mat4::ConstrainedRotation(S, vec3(0, 0, 0)), S);
    mat4 D = mat4::Scale(1, 0, 1);
    D.setTranslation(vec3(4, 5, 6));
    EXPECT_EQ(mat4::ConstrainedRotation(D, vec3(0, 0, 1)), D);
    EXPECT_TRUE(allFinite(mat4::ConstrainedRotation(mat4::Mirror(vec3(1, 0, 0)), vec3(0, 0, 1))));
}

TEST(Mat4Inverse, AffineAndFull) {
    EXPECT_EQ(mat4::Translation(5, 6, 7).inverse(), mat4::Translation(-5, -6, -7));
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
    EXPECT_TRUE(M.inverse().m[12] == 0.0f && M.inverse().m[15] == 1.0f);

    mat4 P;  // a perspective projection
    P.m[10] = -1.2f, P.m[11] = -2.2f, P.m[14] = -1, P.m[15] = 0;
    expectNear(P * P.inverseFull(), mat4());
    EXPECT_NEAR(P.transformProject(vec3(0, 0, -2)).z, 0.1f, 1e-6f);
    EXPECT_EQ(mat4(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0).inverseFull(), mat4());
}
