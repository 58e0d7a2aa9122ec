// Qel::symmetry::Frame, List and Transforms.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scene/symmetry.h"

using qel::mat3;
using qel::mat4;
using qel::vec3;
using qel::symmetry::TSymmetry;
namespace sym = qel::symmetry;

namespace {

constexpr double kPi = 3.14159265358979323846;

void expectNear(const vec3& a, const vec3& b, float eps = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

void expectNear(const mat3& a, const mat3& b, float eps = 1e-5f) {
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(a.m[i], b.m[i], eps) << "element " << i;
}

}  // namespace

TEST(Symmetry, FrameHints) {
    const vec3 axis(0.3f, -0.2f, 0.9f);
    const vec3 X(1, 0, 0), Y(0, 1, 0), Z(0, 0, 1);
    EXPECT_EQ(sym::Frame(axis, false, false, false, false, false, false), mat3::FrameYZ(Y, axis));
    EXPECT_EQ(sym::Frame(axis, true, true, true, true, true, true), mat3::FrameYZ(X, axis));  // radialX first
    EXPECT_EQ(sym::Frame(axis, true, true, true, false, true, true), mat3::FrameYZ(Y, axis));  // mirrorX
    EXPECT_EQ(sym::Frame(axis, false, true, true, false, true, true), mat3::FrameYZ(Y, axis));  // radialY
    EXPECT_EQ(sym::Frame(axis, false, true, true, false, false, true), mat3::FrameYZ(X, axis));  // mirrorY
    EXPECT_EQ(sym::Frame(axis, false, false, true, false, false, false), mat3::FrameYZ(Z, axis));  // mirrorZ
    EXPECT_EQ(sym::Frame(axis, false, false, false, false, false, true), mat3::FrameYZ(Z, axis));  // radialZ
}

TEST(Symmetry, ListOrder) {
    std::vector<TSymmetry> list = {{9, 9}};
    sym::List(list, true, true, true, true, true, true, 6);
    const std::vector<TSymmetry> expected = {{9, 9}, {0, 0}, {1, 0}, {2, 0}, {3, 6}, {4, 6}, {5, 6}};
    EXPECT_EQ(list, expected);
    std::vector<TSymmetry> some;
    sym::List(some, false, true, false, false, false, true, 2);
    const std::vector<TSymmetry> expected2 = {{1, 0}, {5, 2}};
    EXPECT_EQ(some, expected2);
    std::vector<TSymmetry> none;
    sym::List(none, false, false, false, false, false, false, 5);
    EXPECT_TRUE(none.empty());
}

TEST(Symmetry, EmptyListOnlyResizesScales) {
    std::vector<vec3> points = {vec3(1, 2, 3), vec3(4, 5, 6)};
    std::vector<mat3> frames = {mat3(), mat3()};
    std::vector<float> scales = {-1.0f};
    sym::Transforms(points, frames, scales, mat4(), {});
    EXPECT_EQ(points.size(), 2u);
    ASSERT_EQ(scales.size(), 2u);
    EXPECT_EQ(scales[0], -1.0f);
    EXPECT_EQ(scales[1], 1.0f);
}

TEST(Symmetry, NoPointsOrMismatchedFrames) {
    std::vector<vec3> points;
    std::vector<mat3> frames;
    std::vector<float> scales = {2.0f, 3.0f};
    sym::Transforms(points, frames, scales, mat4(), {{0, 0}});
    EXPECT_TRUE(points.empty());
    EXPECT_TRUE(scales.empty());  // resized to the number of points

    points = {vec3(1, 2, 3)};
    frames = {mat3(), mat3()};
    sym::Transforms(points, frames, scales, mat4(), {{0, 0}});
    EXPECT_EQ(points.size(), 1u);
    EXPECT_EQ(frames.size(), 2u);
    EXPECT_EQ(scales.size(), 1u);
}

TEST(Symmetry, MirrorEachAxis) {
    for (int t = 0; t < 3; ++t) {
        std::vector<vec3> points = {vec3(1, 2, 3)};
        const mat3 F0(1, 2, 3, 4, 5, 6, 7, 8, 10);
        std::vector<mat3> frames = {F0};
        std::vector<float> scales;
        sym::Transforms(points, frames, scales, mat4(), {{t, 0}});
        ASSERT_EQ(points.size(), 2u);
        vec3 p(1, 2, 3);
        p[t] = -p[t];
        EXPECT_EQ(points[0], vec3(1, 2, 3));
        EXPECT_EQ(points[1], p);
        mat3 F = F0;
        F.setRow(t, -F0.row(t));
        EXPECT_EQ(frames[0], F0);
        EXPECT_EQ(frames[1], F);
        EXPECT_EQ(scales[0], 1.0f);
        EXPECT_EQ(scales[1], -1.0f);
    }
}

TEST(Symmetry, MirrorNegatesExistingScale) {
    std::vector<vec3> points = {vec3(1, 2, 3)};
    std::vector<mat3> frames = {mat3()};
    std::vector<float> scales = {-1.0f};
    sym::Transforms(points, frames, scales, mat4(), {{2, 0}});
    ASSERT_EQ(scales.size(), 2u);
    EXPECT_EQ(scales[1], 1.0f);
}

TEST(Symmetry, RadialCountBelowTwoAddsNothing) {
    for (int n : {1, 0, -3}) {
        std::vector<vec3> points = {vec3(1, 2, 3)};
        std::vector<mat3> frames = {mat3()};
        std::vector<float> scales;
        sym::Transforms(points, frames, scales, mat4(), {{5, n}});
        EXPECT_EQ(points.size(), 1u);
        EXPECT_EQ(frames.size(), 1u);
        EXPECT_EQ(scales.size(), 1u);
    }
}

TEST(Symmetry, UnknownTypeSkipped) {
    std::vector<vec3> points = {vec3(1, 2, 3)};
    std::vector<mat3> frames = {mat3()};
    std::vector<float> scales;
    sym::Transforms(points, frames, scales, mat4(), {{6, 3}, {-1, 0}});
    EXPECT_EQ(points.size(), 1u);
}

TEST(Symmetry, RadialZCountThree) {
    std::vector<vec3> points = {vec3(1, 0, 2)};
    std::vector<mat3> frames = {mat3()};
    std::vector<float> scales;
    sym::Transforms(points, frames, scales, mat4(), {{5, 3}});
    ASSERT_EQ(points.size(), 3u);
    ASSERT_EQ(frames.size(), 3u);
    ASSERT_EQ(scales.size(), 3u);
    EXPECT_EQ(points[0], vec3(1, 0, 2));
    const double c = std::cos(2.0 * kPi / 3.0), s = std::sin(2.0 * kPi / 3.0);
    // mat3::Rotation(0, 0, t) has the rows (cos t, sin t, 0), (-sin t, cos t, 0).
    expectNear(points[1], vec3(float(c), float(-s), 2));
    expectNear(points[2], vec3(float(c), float(s), 2));
    // The three copies are 120 degrees apart about z and keep z.
    const mat3 R = mat3::Rotation(0, 0, float(2.0 * kPi / 3.0));
    expectNear(frames[1], R);
    expectNear(frames[2], R * R);
    for (float sc : scales) EXPECT_EQ(sc, 1.0f);
}

TEST(Symmetry, RadialXAndY) {
    std::vector<vec3> points = {vec3(0, 1, 0)};
    std::vector<mat3> frames = {mat3()};
    std::vector<float> scales;
    sym::Transforms(points, frames, scales, mat4(), {{3, 4}});
    ASSERT_EQ(points.size(), 4u);
    for (const vec3& p : points) EXPECT_NEAR(p.x, 0.0f, 1e-6f);  // about x: x stays
    expectNear(points[2], vec3(0, -1, 0));

    points = {vec3(1, 0, 0)};
    frames = {mat3()};
    scales.clear();
    sym::Transforms(points, frames, scales, mat4(), {{4, 2}});
    ASSERT_EQ(points.size(), 2u);
    expectNear(points[1], vec3(-1, 0, 0));
}

TEST(Symmetry, MirrorThenRadialMultiply) {
    std::vector<vec3> points = {vec3(1, 2, 3), vec3(-4, 0.5f, 1)};
    std::vector<mat3> frames = {mat3(), mat3()};
    std::vector<float> scales;
    sym::Transforms(points, frames, scales, mat4(), {{0, 0}, {5, 4}});
    ASSERT_EQ(points.size(), 16u);  // 8 entries per input point
    ASSERT_EQ(frames.size(), 16u);
    ASSERT_EQ(scales.size(), 16u);
    // Blocks of N = 4: [p0, p1, mirror p0, mirror p1], then rotated blocks.
    EXPECT_EQ(points[2], vec3(-1, 2, 3));
    EXPECT_EQ(scales[2], -1.0f);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(scales[4 * k + 0], 1.0f);
        EXPECT_EQ(scales[4 * k + 2], -1.0f);
    }
    // A quarter turn about z: (x, y) -> (y, -x).
    expectNear(points[4], vec3(2, -1, 3));
    expectNear(points[8], vec3(-1, -2, 3));
}

TEST(Symmetry, AboutFrameM) {
    // Mirror x about a frame translated by (10, 0, 0): x -> 20 - x.
    const mat4 M = mat4(1, 0, 0, 10, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    std::vector<vec3> points = {vec3(12, 1, 2)};
    std::vector<mat3> frames = {mat3()};
    std::vector<float> scales;
    sym::Transforms(points, frames, scales, M, {{0, 0}});
    ASSERT_EQ(points.size(), 2u);
    expectNear(points[0], vec3(12, 1, 2));
    expectNear(points[1], vec3(8, 1, 2));
    expectNear(frames[0], mat3());
    expectNear(frames[1], mat3(-1, 0, 0, 0, 1, 0, 0, 0, 1));
}

TEST(Symmetry, AboutRotatedFrame) {
    // M turns x onto y: mirroring across M's x-plane mirrors world y.
    const mat4 M = mat4(0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    std::vector<vec3> points = {vec3(1, 2, 3)};
    std::vector<mat3> frames = {mat3()};
    std::vector<float> scales;
    sym::Transforms(points, frames, scales, M, {{0, 0}});
    ASSERT_EQ(points.size(), 2u);
    expectNear(points[0], vec3(1, 2, 3));
    expectNear(points[1], vec3(1, -2, 3));
}

TEST(Symmetry, SingularMUsesIdentity) {
    mat4 M;
    for (float& f : M.m) f = 0.0f;
    M.m[15] = 1.0f;  // the 3x3 part is zero: determinant exactly 0
    std::vector<vec3> points = {vec3(1, 2, 3)};
    std::vector<mat3> frames = {mat3()};
    std::vector<float> scales;
    sym::Transforms(points, frames, scales, M, {{1, 0}});
    ASSERT_EQ(points.size(), 2u);
    // Into the frame by the identity, mirrored, then back by M itself.
    EXPECT_EQ(points[0], vec3(0, 0, 0));
    EXPECT_EQ(points[1], vec3(0, 0, 0));
    EXPECT_EQ(scales[1], -1.0f);
}
