// Symmetry frames, lists and transforms.
#include <gtest/gtest.h>

#include <vector>

#include "scene/symmetry.h"
#include "tool_test_util.h"

using qel::mat3;
using qel::mat4;
using qel::vec3;
using qel::symmetry::TSymmetry;
namespace sym = qel::symmetry;
using tooltest::near;

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

}  // namespace

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
    // Radial counts below two and unknown types add nothing.
    EXPECT_EQ(expand({vec3(1, 2, 3)}, {{5, 1}, {5, -3}, {6, 3}, {-1, 0}}).points.size(), 1u);
    std::vector<TSymmetry> list;
    sym::List(list, true, false, false, false, false, true, 4);
    EXPECT_EQ(list, (std::vector<TSymmetry>{{0, 0}, {5, 4}}));
    const Images r = expand({vec3(1, 2, 3), vec3(-4, 0.5f, 1)}, list);
    ASSERT_EQ(r.points.size(), 16u);  // blocks of 4: [p0, p1, mirror p0, mirror p1], then rotated blocks
    EXPECT_EQ(r.points[2], vec3(-1, 2, 3));
    for (int k = 0; k < 4; ++k) EXPECT_EQ(r.scales[std::size_t(4 * k + 2)], -1.0f);
    EXPECT_TRUE(near(r.points[4], vec3(2, -1, 3)));  // a quarter turn about z
    EXPECT_TRUE(near(r.points[8], vec3(-1, -2, 3)));
}

TEST(Symmetry, ImagesAreTakenAboutTheFrameAndASingularOneGivesNoNaN) {
    const mat4 M = mat4::Translation(10, 0, 0);  // x -> 20 - x
    EXPECT_TRUE(near(expand({vec3(12, 1, 2)}, {{0, 0}}, M).points[1], vec3(8, 1, 2)));
    // Into the frame by the identity, back by the flat M itself.
    const Images r = expand({vec3(1, 2, 3)}, {{1, 0}}, mat4::Scale(0, 0, 0));
    EXPECT_EQ(r.points, (std::vector<vec3>{vec3(0, 0, 0), vec3(0, 0, 0)}));
    EXPECT_EQ(r.scales[1], -1.0f);
}
