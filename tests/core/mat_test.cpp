// Vectors and matrices: known results of each factory, grouped by factory,
// plus the conventions every caller relies on (row-major layout, column
// vectors, the normalising rule).

#include "core/mat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <type_traits>

using qel::mat3;
using qel::mat4;
using qel::vec3;
using qel::vec4;

namespace {

constexpr float kTol = 1e-6f;
constexpr double kHalfPi = 1.57079632679489661923;

void expectNear(const mat3& a, const mat3& b, float tol = kTol) {
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}
void expectNear(const mat4& a, const mat4& b, float tol = kTol) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}
void expectNear(const vec3& a, const vec3& b, float tol = kTol) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}
// The right-handed rotation about Z (rows (c, -s, 0), (s, c, 0), (0, 0, 1)).
mat3 Rz(double t) {
    const float c = float(std::cos(t)), s = float(std::sin(t));
    return {c, -s, 0, s, c, 0, 0, 0, 1};
}
bool allFinite(const mat3& a) {
    for (float e : a.m)
        if (!std::isfinite(e)) return false;
    return true;
}
bool isOrthonormal(const mat3& F, float tol = 1e-6f) {
    const mat3 P = F.transposed() * F;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (std::fabs(P.at(i, j) - (i == j ? 1.0f : 0.0f)) > tol) return false;
    return std::fabs(F.determinant() - 1.0) < tol;
}

}  // namespace

// ------------------------------------------------------------ value types

TEST(VecTypes, LayoutIsPlainAndPacked) {
    static_assert(sizeof(vec3) == 12, "vec3 is a packed float triple");
    static_assert(sizeof(qel::vec2) == 8 && sizeof(vec4) == 16, "float vectors");
    static_assert(sizeof(qel::dvec2) == 16 && sizeof(qel::dvec3) == 24, "double vectors");
    static_assert(sizeof(qel::bvec4) == 4 && sizeof(qel::wvec4) == 8, "colour quadruples");
    static_assert(sizeof(mat3) == 36 && sizeof(mat4) == 64, "matrices are plain float arrays");
    static_assert(std::is_trivially_copyable<mat4>::value && std::is_trivially_copyable<vec3>::value,
                  "plain values");
    vec3 a[2] = {{1, 2, 3}, {4, 5, 6}};
    const float* f = a[0].data();
    EXPECT_EQ(f[3], 4.0f);
    EXPECT_EQ(f[5], 6.0f);
}

TEST(VecTypes, NormalisingRule) {
    EXPECT_EQ(qel::normalize(vec3(0, 0, 0)), vec3(0, 0, 0));
    // Squared length 1e-22 <= 1e-20: left unnormalised.
    EXPECT_EQ(qel::normalize(vec3(1e-11f, 0, 0)), vec3(1e-11f, 0, 0));
    expectNear(qel::normalize(vec3(3, 0, 4)), vec3(0.6f, 0, 0.8f));
    EXPECT_TRUE(qel::nearZero(vec3(1e-21f, -1e-21f, 0)));
    EXPECT_FALSE(qel::nearZero(vec3(1e-19f, 0, 0)));
    EXPECT_FALSE(qel::isZero(vec3(1e-30f, 0, 0)));
    EXPECT_TRUE(qel::isZero(vec3(-0.0f, 0, 0)));
}

TEST(VecTypes, DotAndCrossInDouble) {
    EXPECT_DOUBLE_EQ(qel::dot(vec3(1, 2, 3), vec3(4, 5, 6)), 32.0);
    EXPECT_EQ(qel::cross(vec3(1, 0, 0), vec3(0, 1, 0)), vec3(0, 0, 1));
    // 16777217 is not a float but the double sum is exact before rounding.
    EXPECT_DOUBLE_EQ(qel::dot(vec3(16777216.0f, 1, 0), vec3(1, 1, 0)), 16777217.0);
}

// ------------------------------------------------------------ layout and products

TEST(MatLayout, RowMajorColumnVectors) {
    const mat4 T = mat4::Translation(5, 6, 7);
    EXPECT_EQ(T.m[3], 5.0f);
    EXPECT_EQ(T.m[7], 6.0f);
    EXPECT_EQ(T.m[11], 7.0f);
    EXPECT_EQ(T.transformPoint(vec3(1, 1, 1)), vec3(6, 7, 8));
    EXPECT_EQ(T.transformVector(vec3(1, 1, 1)), vec3(1, 1, 1));
    const vec4 p = T * vec4(1, 1, 1, 1);
    EXPECT_EQ(p, vec4(6, 7, 8, 1));
    const mat3 A(1, 2, 3, 4, 5, 6, 7, 8, 10);
    EXPECT_EQ(A.column(0), vec3(1, 4, 7));
    EXPECT_EQ(A * vec3(1, 0, 0), vec3(1, 4, 7));
}

TEST(MatLayout, ProductAppliesRightFactorFirst) {
    const mat4 T = mat4::Translation(1, 0, 0);
    const mat4 S = mat4::Scale(2);
    // T S: scale first, then translate.
    EXPECT_EQ((T * S).transformPoint(vec3(1, 1, 1)), vec3(3, 2, 2));
    EXPECT_EQ((S * T).transformPoint(vec3(1, 1, 1)), vec3(4, 2, 2));
    const mat3 A(1, 2, 3, 4, 5, 6, 7, 8, 10), B = mat3::Rotation(0.3f, 0.2f, 0.1f);
    mat3 C = A;
    C *= B;
    EXPECT_EQ(C, A * B);
}

TEST(MatLayout, Mat4ProductRoundsOnce) {
    const float e = std::ldexp(1.0f, -24);
    mat4 A;
    A.m[1] = 1.0f;
    A.m[2] = 1.0f;
    mat4 B;
    B.m[4] = e;
    B.m[8] = e;
    // 1 + e + e: float steps round each half-ulp away, double keeps 1 + 2e.
    const mat4 C = A * B;
    EXPECT_EQ(C.m[0], 1.0f + 2 * e);
}

TEST(MatLayout, Mat3TimesMat4UsesBlockOnTheLeft) {
    // B: rotation by 90 degrees about Z, with a translation that plays no part.
    mat4 B = mat4::FromMat3(Rz(kHalfPi));
    B.setTranslation(vec3(9, 9, 9));
    for (float& e : B.m) e = std::round(e);
    const mat3 A(1, 2, 3, 4, 5, 6, 7, 8, 10);
    EXPECT_EQ(A * B, mat3(-4, -5, -6, 1, 2, 3, 7, 8, 10));
}

// ------------------------------------------------------------ mat3 factories

TEST(Mat3Scale, DiagonalAndAlongDirection) {
    EXPECT_EQ(mat3::Scale(2, 3, 4), mat3(2, 0, 0, 0, 3, 0, 0, 0, 4));
    // Stretch by 1 + s along n, the plane across n unchanged.
    const mat3 S = mat3::Scale(vec3(0, 0, 5), 2.0f);
    expectNear(S, mat3(1, 0, 0, 0, 1, 0, 0, 0, 3));
    const mat3 D = mat3::Scale(vec3(1, 1, 0), 1.0f);
    expectNear(D * vec3(1, 1, 0), vec3(2, 2, 0));
    expectNear(D * vec3(1, -1, 0), vec3(1, -1, 0));
    EXPECT_EQ(mat3::Scale(vec3(0, 0, 0), 7.0f), mat3());
}

TEST(Mat3Mirror, ReflectionAcrossNormal) {
    EXPECT_EQ(mat3::Mirror(vec3(0, 0, 0)), mat3());
    expectNear(mat3::Mirror(vec3(0, 3, 0)), mat3(1, 0, 0, 0, -1, 0, 0, 0, 1));
    const mat3 M = mat3::Mirror(vec3(1, 1, 0));
    expectNear(M * vec3(1, 1, 0), vec3(-1, -1, 0));
    expectNear(M * vec3(1, -1, 5), vec3(1, -1, 5));
}

TEST(Mat3RotationAngles, LayoutAndOrder) {
    const float t = 0.7f;
    const mat3 R = mat3::Rotation(0, 0, t);
    expectNear(R, mat3(std::cos(t), std::sin(t), 0, -std::sin(t), std::cos(t), 0, 0, 0, 1));
    // The transpose of Rx(a) Ry(b) Rz(c).
    const float a = 0.3f, b = -0.5f, c = 1.1f;
    const mat3 Rx(1, 0, 0, 0, std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a));
    const mat3 Ry(std::cos(b), 0, std::sin(b), 0, 1, 0, -std::sin(b), 0, std::cos(b));
    expectNear(mat3::Rotation(a, b, c), (Rx * Ry * Rz(c)).transposed());
    EXPECT_TRUE(isOrthonormal(mat3::Rotation(a, b, c)));
}

TEST(Mat3RotationVectors, EdgeCases) {
    EXPECT_EQ(mat3::Rotation(vec3(1, 0, 0), vec3(0, 2, 0)), mat3(0, -1, 0, 1, 0, 0, 0, 0, 1));
    EXPECT_EQ(mat3::Rotation(vec3(1, 0, 0), vec3(-3, 0, 0)), mat3(-1, 0, 0, 0, -1, 0, 0, 0, -1));
    EXPECT_EQ(mat3::Rotation(vec3(0, 0, 0), vec3(1, 2, 3)), mat3());
    EXPECT_EQ(mat3::Rotation(vec3(2, 2, 2), vec3(1, 1, 1)), mat3());
}

TEST(Mat3RotationVectors, TurnsDirectionOntoDirection) {
    const vec3 a(1, 2, 3), b(-2, 0.5f, 1);
    const mat3 R = mat3::Rotation(a, b);
    EXPECT_TRUE(isOrthonormal(R));
    expectNear(R * qel::normalize(a), qel::normalize(b));
    // The axis a x b is fixed.
    const vec3 n = qel::normalize(qel::cross(a, b));
    expectNear(R * n, n);
}

TEST(Mat3RotationScale, EdgeCasesAndMapping) {
    expectNear(mat3::RotationScale(vec3(2, 0, 0), vec3(0, 1, 0)), mat3(0, -1, 0, 0.5f, 0, 0, 0, 0, 1));
    const vec3 a(1, 2, 3), b(-4, 1, 2);
    const mat3 M = mat3::RotationScale(a, b);
    expectNear(M * a, b, 2e-6f);
    // The plane across a keeps its scale.
    const vec3 across = qel::cross(a, vec3(0, 0, 1));
    EXPECT_NEAR(qel::length(M * across), qel::length(across), 1e-5);
    // A zero first vector is outside the contract and gives NaN.
    EXPECT_FALSE(allFinite(mat3::RotationScale(vec3(0, 0, 0), vec3(1, 0, 0))));
}

TEST(Mat3RotationAroundAxis, EdgeCases) {
    const float t = 0.9f;
    expectNear(mat3::RotationAroundAxis(vec3(0, 0, 2), t),
               mat3(std::cos(t), -std::sin(t), 0, std::sin(t), std::cos(t), 0, 0, 0, 1));
    EXPECT_EQ(mat3::RotationAroundAxis(vec3(0, 0, 0), t), mat3());
    const vec3 k = qel::normalize(vec3(1, -2, 0.5f));
    const mat3 R = mat3::RotationAroundAxis(k * 4.0f, 1.3f);
    EXPECT_TRUE(isOrthonormal(R));
    expectNear(R * k, k);
    // Right-handed: X turns towards Y about +Z.
    EXPECT_GT((mat3::RotationAroundAxis(vec3(0, 0, 1), 0.2f) * vec3(1, 0, 0)).y, 0.0f);
}

TEST(Mat3Frame, EdgeCases) {
    const mat3 F = mat3::Frame(vec3(1, 1, 1));
    const float r2 = float(1 / std::sqrt(2.0));
    expectNear(F.column(0), vec3(0, -r2, r2));
    const float r3 = float(1 / std::sqrt(3.0));
    expectNear(F.column(2), vec3(r3, r3, r3));
    EXPECT_TRUE(isOrthonormal(F));

    EXPECT_EQ(mat3::Frame(vec3(0, 0, 1)), mat3(0, 1, 0, -1, 0, 0, 0, 0, 1));
    expectNear(mat3::Frame(vec3(0, 0, 1)).column(0), vec3(0, -1, 0));
    expectNear(mat3::Frame(vec3(0, 0, 1)).column(1), vec3(1, 0, 0));
    EXPECT_EQ(mat3::Frame(vec3(0, 0, 0)), mat3());
    EXPECT_EQ(mat3::Frame(vec3(1e-21f, 0, 0)), mat3());
}

TEST(Mat3Frame, AnyDirectionGivesRightHandedFrame) {
    const vec3 dirs[] = {{1, 0, 0}, {0, -1, 0}, {0.3f, -2, 7}, {-1, -1, 0.01f}, {5, 5, -5}};
    for (const vec3& d : dirs) {
        const mat3 F = mat3::Frame(d);
        EXPECT_TRUE(isOrthonormal(F));
        expectNear(F.column(2), qel::normalize(d));
        expectNear(F * vec3(0, 0, 1), qel::normalize(d));
    }
}

TEST(Mat3FrameXZ, EdgeCases) {
    const vec3 z(0.2f, -1, 3);
    EXPECT_EQ(mat3::FrameXZ(z, z), mat3::Frame(z));
    EXPECT_EQ(mat3::FrameXZ(vec3(0, 0, 0), z), mat3::Frame(z));
    EXPECT_EQ(mat3::FrameXZ(vec3(1, 0, 0), vec3(0, 0, 0)), mat3::Frame(vec3(0, 0, 0)));
    // x parallel to z with an exactly vanishing x'. (For a z off the axes the
    // float residual of x' is ~1e-17: neither near zero nor normalisable, so
    // the literal rule gives a degenerate frame there.)
    EXPECT_EQ(mat3::FrameXZ(vec3(0, 0, 3), vec3(0, 0, 1)), mat3::Frame(vec3(0, 0, 1)));
    EXPECT_EQ(mat3::FrameXZ(vec3(0, -2, 0), vec3(0, 5, 0)), mat3::Frame(vec3(0, 5, 0)));
    // Parallel to a z off the axes only a rounding residue is left of x':
    // the frame stays orthonormal whatever direction the residue takes.
    for (const vec3 d : {vec3(0.3f, -0.7f, 0.64f), vec3(1, 1, 1), vec3(-2, 0.5f, 7)}) {
        for (const float k : {3.0f, -2.0f, 1.0f + 1e-7f}) {
            EXPECT_NEAR(mat3::FrameXZ(d * k, d).determinant(), 1.0, 1e-5);
            EXPECT_NEAR(mat3::FrameYZ(d * k, d).determinant(), 1.0, 1e-5);
        }
    }
}

TEST(Mat3FrameXZ, ColumnsFromXAndZ) {
    const mat3 F = mat3::FrameXZ(vec3(1, 0, 1), vec3(0, 0, 2));
    EXPECT_EQ(F, mat3(1, 0, 0, 0, 1, 0, 0, 0, 1));
    const vec3 x(1, 2, 0.5f), z(-0.3f, 0.2f, 1);
    const mat3 G = mat3::FrameXZ(x, z);
    EXPECT_TRUE(isOrthonormal(G));
    expectNear(G.column(2), qel::normalize(z));
    EXPECT_NEAR(qel::dot(G.column(0), z), 0.0, 1e-6);
    EXPECT_GT(qel::dot(G.column(0), x), 0.0);
}

TEST(Mat3FrameYZ, ColumnsFromYAndZ) {
    const mat3 F = mat3::FrameYZ(vec3(0, 3, 1), vec3(0, 0, 1));
    EXPECT_EQ(F, mat3());
    const vec3 y(1, 2, 0.5f), z(-0.3f, 0.2f, 1);
    const mat3 G = mat3::FrameYZ(y, z);
    EXPECT_TRUE(isOrthonormal(G));
    expectNear(G.column(2), qel::normalize(z));
    EXPECT_NEAR(qel::dot(G.column(1), z), 0.0, 1e-6);
    EXPECT_GT(qel::dot(G.column(1), y), 0.0);
    EXPECT_EQ(mat3::FrameYZ(z, z), mat3::Frame(z));
    EXPECT_EQ(mat3::FrameYZ(vec3(0, 0, 0), z), mat3::Frame(z));
}

TEST(Mat3ConstrainedAngle, EdgeCases) {
    const mat3 R = Rz(0.4);
    EXPECT_NEAR(mat3::ConstrainedAngle(R, vec3(0, 0, 1)), 0.4, 1e-6);
    EXPECT_NEAR(mat3::ConstrainedAngle(R, vec3(0, 0, -1)), -0.4, 1e-6);
    EXPECT_NEAR(mat3::ConstrainedAngle(R * 2.0f, vec3(0, 0, 1)), 0.4, 1e-6);
    EXPECT_NEAR(mat3::ConstrainedAngle(R * 2.0f, vec3(0, 0, 5)), 0.4, 1e-6);
}

TEST(Mat3ConstrainedAngle, AboutAnyAxis) {
    const vec3 k = qel::normalize(vec3(1, 2, -0.5f));
    const mat3 R = mat3::RotationAroundAxis(k, 2.5f) * 3.0f;
    EXPECT_NEAR(mat3::ConstrainedAngle(R, k), 2.5, 1e-5);
    EXPECT_NEAR(mat3::ConstrainedAngle(R, -k), -2.5, 1e-5);
}

TEST(Mat3ConstrainedAngle, MirroredAndDegenerateMatrices) {
    // A mirrored matrix: real cube root of the negative determinant, no NaN.
    const mat3 M = Rz(0.4) * (-2.0f);
    const double a = mat3::ConstrainedAngle(M, vec3(0, 0, 1));
    EXPECT_TRUE(std::isfinite(a));
    EXPECT_NEAR(a, 0.4, 1e-6);
    const mat3 flip = mat3::Mirror(vec3(1, 0, 0)) * Rz(0.3);
    EXPECT_TRUE(std::isfinite(mat3::ConstrainedAngle(flip, vec3(0, 0, 1))));
    // Determinant 0 or not finite: 0.
    EXPECT_EQ(mat3::ConstrainedAngle(mat3::Scale(1, 1, 0), vec3(0, 0, 1)), 0.0);
    mat3 bad = Rz(0.4);
    bad.m[0] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(mat3::ConstrainedAngle(bad, vec3(0, 0, 1)), 0.0);
    bad.m[0] = std::numeric_limits<float>::infinity();
    EXPECT_EQ(mat3::ConstrainedAngle(bad, vec3(0, 0, 1)), 0.0);
}

TEST(Mat3ConstrainedRotation, EdgeCases) {
    const mat3 M = Rz(0.4) * 2.0f;
    // A turn about the axis itself is kept as it is, with its uniform scale.
    expectNear(mat3::ConstrainedRotation(M, vec3(0, 0, 3)), M, 2e-6f);
    expectNear(mat3::ConstrainedRotation(M, vec3(0, 0, -1)), M, 2e-6f);
}

TEST(Mat3ConstrainedRotation, KeepsUniformScaleAndAxis) {
    const vec3 k = qel::normalize(vec3(-1, 0.5f, 2));
    const mat3 M = mat3::RotationAroundAxis(vec3(3, 1, 0), 0.8f) * 1.5f;
    const mat3 C = mat3::ConstrainedRotation(M, k);
    EXPECT_NEAR(C.determinant(), 1.5 * 1.5 * 1.5, 1e-4);
    expectNear(C * k, k * 1.5f, 1e-5f);
    // Constraining is idempotent and keeps the turn's direction.
    EXPECT_NEAR(mat3::ConstrainedAngle(C, k), mat3::ConstrainedAngle(M, k), 1e-5);
    const mat3 C2 = mat3::ConstrainedRotation(mat3::ConstrainedRotation(C, k), k);
    expectNear(C2, C, 1e-5f);
}

TEST(Mat3ConstrainedRotation, MirroredAndDegenerateMatrices) {
    const mat3 M = Rz(0.4) * (-2.0f);
    const mat3 C = mat3::ConstrainedRotation(M, vec3(0, 0, 1));
    EXPECT_TRUE(allFinite(C));
    expectNear(C, Rz(0.4) * (-2.0f), 2e-6f);
    const mat3 flat = mat3::Scale(1, 0, 1);
    EXPECT_EQ(mat3::ConstrainedRotation(flat, vec3(0, 0, 1)), flat);
    mat3 bad = Rz(0.4);
    bad.m[4] = std::numeric_limits<float>::infinity();
    const mat3 out = mat3::ConstrainedRotation(bad, vec3(0, 0, 1));
    for (int i = 0; i < 9; ++i) EXPECT_EQ(out.m[i], bad.m[i]);
}

TEST(Mat3Inverse, Cofactors) {
    const mat3 A(1, 2, 3, 4, 5, 6, 7, 8, 10);
    expectNear(A * A.inverse(), mat3(), 1e-5f);
    EXPECT_EQ(mat3::Scale(1, 0, 1).inverse(), mat3());
    EXPECT_DOUBLE_EQ(A.determinant(), -3.0);
}

// ------------------------------------------------------------ mat4 factories

TEST(Mat4Basic, FromMat3ScaleTranslation) {
    const mat3 A(1, 2, 3, 4, 5, 6, 7, 8, 9);
    EXPECT_EQ(mat4::FromMat3(A), mat4(1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 0, 0, 0, 1));
    EXPECT_EQ(mat4::FromMat3(A).block(), A);
    EXPECT_EQ(mat4::Scale(3), mat4(3, 0, 0, 0, 0, 3, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1));
    EXPECT_EQ(mat4::Scale(1, 2, 3), mat4(1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1));
    EXPECT_EQ(mat4::Translation(vec3(1, 2, 3)), mat4::Translation(1, 2, 3));
    EXPECT_EQ(mat4::Translation(1, 2, 3).translation(), vec3(1, 2, 3));
    EXPECT_EQ(mat4::Rotation(0.1f, 0.2f, 0.3f), mat4::FromMat3(mat3::Rotation(0.1f, 0.2f, 0.3f)));
    EXPECT_EQ(mat4::Rotation(vec3(1, 0, 0), vec3(0, 1, 1)), mat4::FromMat3(mat3::Rotation(vec3(1, 0, 0), vec3(0, 1, 1))));
    EXPECT_EQ(mat4::RotationScale(vec3(1, 0, 0), vec3(0, 1, 1)),
              mat4::FromMat3(mat3::RotationScale(vec3(1, 0, 0), vec3(0, 1, 1))));
}

TEST(Mat4RotationScaleCenter, EdgeCases) {
    const mat4 M = mat4::RotationScaleCenter(vec3(1, 1, 0), vec3(2, 1, 0), vec3(1, 3, 0));
    expectNear(M.block(), mat3(0, -1, 0, 2, 0, 0, 0, 0, 1));
    expectNear(M.translation(), vec3(2, -1, 0));
    EXPECT_EQ(M.m[12], 0.0f);
    EXPECT_EQ(M.m[15], 1.0f);
    expectNear(M.transformPoint(vec3(1, 1, 0)), vec3(1, 1, 0));
    expectNear(M.transformPoint(vec3(2, 1, 0)), vec3(1, 3, 0));
}

TEST(Mat4Mirror, ThroughOriginAndThroughPoint) {
    EXPECT_EQ(mat4::Mirror(vec3(0, 0, 0)), mat4());
    expectNear(mat4::Mirror(vec3(0, 0, 2)), mat4::Scale(1, 1, -1));
    const mat4 M = mat4::Mirror(vec3(0, 0, 2), vec3(1, 2, 3));
    expectNear(M.translation(), vec3(0, 0, 6));
    EXPECT_FLOAT_EQ(M.at(2, 2), -1.0f);
    expectNear(M.transformPoint(vec3(5, 5, 3)), vec3(5, 5, 3));
    expectNear(M.transformPoint(vec3(0, 0, 4)), vec3(0, 0, 2));
    EXPECT_EQ(mat4::Mirror(vec3(0, 0, 0), vec3(1, 2, 3)), mat4());
    const mat4 N = mat4::Mirror(vec3(1, 1, 1), vec3(1, 0, 0));
    expectNear(N.transformPoint(vec3(0, 1, 0)), vec3(0, 1, 0));
    expectNear(N * N, mat4(), 1e-6f);
}

TEST(Mat4ConstrainedTranslation, EdgeCases) {
    mat4 M = mat4::FromMat3(mat3::Rotation(0.3f, 0.1f, 0.2f));
    M.setTranslation(vec3(5, 6, 7));
    const mat4 C = mat4::ConstrainedTranslation(M, vec3(1, 1, 0));
    EXPECT_FLOAT_EQ(C.m[3], 5.5f);
    EXPECT_FLOAT_EQ(C.m[7], 5.5f);
    EXPECT_NEAR(C.m[11], 0.0f, 1e-6f);
    EXPECT_EQ(C.block(), M.block());
    EXPECT_EQ(mat4::ConstrainedTranslation(M, vec3(0, 0, 0)), M);
}

TEST(Mat4ConstrainedRotation, BlockConstrainedTranslationKept) {
    mat4 M = mat4::FromMat3(Rz(0.4) * 2.0f);
    M.setTranslation(vec3(1, 2, 3));
    const mat4 C = mat4::ConstrainedRotation(M, vec3(0, 0, 3));
    expectNear(C.block(), Rz(0.4) * 2.0f, 2e-6f);
    EXPECT_EQ(C.translation(), vec3(1, 2, 3));
    EXPECT_EQ(mat4::ConstrainedRotation(M, vec3(0, 0, 0)), M);
    // Degenerate block: unchanged.
    mat4 D = mat4::Scale(1, 0, 1);
    D.setTranslation(vec3(4, 5, 6));
    EXPECT_EQ(mat4::ConstrainedRotation(D, vec3(0, 0, 1)), D);
    // Mirrored block: finite.
    const mat4 F = mat4::ConstrainedRotation(mat4::Mirror(vec3(1, 0, 0)), vec3(0, 0, 1));
    for (float e : F.m) EXPECT_TRUE(std::isfinite(e));
}

TEST(Mat4Inverse, EdgeCases) {
    EXPECT_EQ(mat4::Translation(5, 6, 7).inverse(), mat4::Translation(-5, -6, -7));
    const mat4 R = mat4::Rotation(0.3f, -0.7f, 1.2f);
    expectNear(R.inverse(), R.transposed());
    EXPECT_EQ(mat4::inverse(R), R.inverse());
}

TEST(Mat4Inverse, AffineTransforms) {
    mat4 M = mat4::RotationScaleCenter(vec3(1, -2, 0.5f), vec3(3, 1, 2), vec3(-1, 4, 0));
    M = mat4::Translation(0.5f, 8, -3) * M * mat4::Scale(2, 0.5f, 3);
    expectNear(M * M.inverse(), mat4(), 1e-5f);
    expectNear(M.inverse() * M, mat4(), 1e-5f);
    // The last row is not read.
    mat4 P = M;
    P.m[12] = 7;
    P.m[15] = 3;
    EXPECT_EQ(P.inverse(), M.inverse());
    EXPECT_EQ(M.inverse().m[12], 0.0f);
    EXPECT_EQ(M.inverse().m[15], 1.0f);
    expectNear(M.inverseFull(), M.inverse(), 1e-5f);
}

TEST(Mat4Inverse, FullInverseOfProjection) {
    mat4 P;
    P.m[10] = -1.2f;
    P.m[11] = -2.2f;
    P.m[14] = -1;
    P.m[15] = 0;
    expectNear(P * P.inverseFull(), mat4(), 1e-6f);
    EXPECT_EQ(mat4(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0).inverseFull(), mat4());
    const vec3 q = P.transformProject(vec3(0, 0, -2));
    EXPECT_NEAR(q.z, 0.1f, 1e-6f);
}
