// Symmetry frames, lists and transforms.
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

struct Images {
    std::vector<vec3> points;
    std::vector<mat3> frames;
    std::vector<float> scales;
};

// The images of points (identity frames unless given) under list about M.
Images expand(std::vector<vec3> points, const std::vector<TSymmetry>& list, const mat4& M = mat4(),
              std::vector<mat3> frames = {}) {
    if (frames.empty()) frames.assign(points.size(), mat3());
    Images r{std::move(points), std::move(frames), {}};
    sym::Transforms(r.points, r.frames, r.scales, M, list);
    return r;
}

void expectNear(const vec3& a, const vec3& b) {
    EXPECT_NEAR(a.x, b.x, 1e-5f);
    EXPECT_NEAR(a.y, b.y, 1e-5f);
    EXPECT_NEAR(a.z, b.z, 1e-5f);
}

}  // namespace

TEST(Symmetry, FrameHintAndListOrder) {
    const vec3 axis(0.3f, -0.2f, 0.9f);
    // The first flag that applies picks the hint: mirrorY before mirrorZ and radialZ.
    EXPECT_EQ(sym::Frame(axis, false, true, true, false, false, true), mat3::FrameYZ(vec3(1, 0, 0), axis));
    EXPECT_EQ(sym::Frame(axis, false, false, true, false, false, false), mat3::FrameYZ(vec3(0, 0, 1), axis));

    std::vector<TSymmetry> list = {{9, 9}};
    sym::List(list, true, true, true, true, true, true, 6);
    EXPECT_EQ(list, (std::vector<TSymmetry>{{9, 9}, {0, 0}, {1, 0}, {2, 0}, {3, 6}, {4, 6}, {5, 6}}));
}

TEST(Symmetry, NothingHappensWithoutPointsRecordsOrMatchingFrames) {
    const Images none = expand({}, {{0, 0}});
    EXPECT_TRUE(none.scales.empty());
    EXPECT_EQ(expand({vec3(1, 2, 3), vec3(4, 5, 6)}, {}).scales, (std::vector<float>{1.0f, 1.0f}));
    const Images mismatched = expand({vec3(1, 2, 3)}, {{0, 0}}, mat4(), {mat3(), mat3()});
    EXPECT_EQ(mismatched.points.size(), 1u);
    EXPECT_EQ(mismatched.frames.size(), 2u);
    EXPECT_EQ(mismatched.scales.size(), 1u);
    // Radial counts below two and unknown types add nothing.
    EXPECT_EQ(expand({vec3(1, 2, 3)}, {{5, 1}, {5, 0}, {5, -3}, {6, 3}, {-1, 0}}).points.size(), 1u);
}

TEST(Symmetry, MirrorEachAxisFlipsPointFrameRowAndScale) {
    const mat3 F0(1, 2, 3, 4, 5, 6, 7, 8, 10);
    for (int t = 0; t < 3; ++t) {
        const Images r = expand({vec3(1, 2, 3)}, {{t, 0}}, mat4(), {F0});
        ASSERT_EQ(r.points.size(), 2u);
        vec3 p(1, 2, 3);
        p[t] = -p[t];
        EXPECT_EQ(r.points[1], p);
        mat3 F = F0;
        F.setRow(t, -F0.row(t));
        EXPECT_EQ(r.frames[1], F);
        EXPECT_EQ(r.scales, (std::vector<float>{1.0f, -1.0f}));
    }
}

TEST(Symmetry, RadialCopiesTurnAboutTheAxisAndMultiplyEarlierImages) {
    const Images t = expand({vec3(1, 0, 2)}, {{5, 3}});
    ASSERT_EQ(t.points.size(), 3u);
    expectNear(t.points[1], vec3(-0.5f, -std::sqrt(0.75f), 2));
    expectNear(t.points[2], vec3(-0.5f, std::sqrt(0.75f), 2));

    const Images r = expand({vec3(1, 2, 3), vec3(-4, 0.5f, 1)}, {{0, 0}, {5, 4}});
    ASSERT_EQ(r.points.size(), 16u);  // blocks of 4: [p0, p1, mirror p0, mirror p1], then rotated blocks
    EXPECT_EQ(r.points[2], vec3(-1, 2, 3));
    for (int k = 0; k < 4; ++k) EXPECT_EQ(r.scales[std::size_t(4 * k + 2)], -1.0f);
    expectNear(r.points[4], vec3(2, -1, 3));  // a quarter turn about z
    expectNear(r.points[8], vec3(-1, -2, 3));
}

TEST(Symmetry, ImagesAreTakenAboutTheFrame) {
    const mat4 M(1, 0, 0, 10, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);  // translated by (10, 0, 0): x -> 20 - x
    const Images r = expand({vec3(12, 1, 2)}, {{0, 0}}, M);
    expectNear(r.points[1], vec3(8, 1, 2));
}

TEST(Symmetry, SingularFrameUsesIdentityAndGivesNoNaN) {
    mat4 M;
    for (float& f : M.m) f = 0.0f;
    M.m[15] = 1.0f;
    const Images r = expand({vec3(1, 2, 3)}, {{1, 0}}, M);
    ASSERT_EQ(r.points.size(), 2u);
    EXPECT_EQ(r.points[0], vec3(0, 0, 0));  // into the frame by the identity, back by M itself
    EXPECT_EQ(r.points[1], vec3(0, 0, 0));
    EXPECT_EQ(r.scales[1], -1.0f);
}
