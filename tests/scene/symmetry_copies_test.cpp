// The symmetric copies of stamps and transforms, their codes, and the merging
// of copies that fall onto each other.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "scene/symmetry.h"
#include "scene/symmetry_merge.h"

using qel::mat3;
using qel::mat4;
using qel::vec3;
using qel::symmetry::TSymmetry;
namespace sym = qel::symmetry;

namespace {

bool near(const vec3& a, const vec3& b, float eps = 1e-5f) { return qel::length(a - b) < eps; }

struct Copies {
    std::vector<vec3> positions;
    std::vector<mat3> frames;
};

Copies replicate(const vec3& p, const std::vector<TSymmetry>& list, const mat4& frame = mat4()) {
    Copies c{{p}, {mat3()}};
    sym::Replicate(c.positions, c.frames, frame, list);
    return c;
}

// The merge inputs of a set of copies: codes from the list, identity axes,
// weights 1.
struct MergeCase {
    std::vector<vec3> positions;
    std::vector<std::uint8_t> codes;
    std::vector<std::vector<vec3>> axes;
    std::vector<float> weights;
    int count = 6;
    std::vector<int> kept, dropped;

    MergeCase(std::vector<vec3> p, const std::vector<TSymmetry>& list) : positions(std::move(p)) {
        sym::Codes(codes, list);
        axes = {std::vector<vec3>(positions.size(), vec3(1, 0, 0)), std::vector<vec3>(positions.size(), vec3(0, 1, 0)),
                std::vector<vec3>(positions.size(), vec3(0, 0, 1))};
        weights.assign(positions.size(), 2.0f);
    }
    void merge(float distance, bool collapse = false) {
        (collapse ? sym::Collapse : sym::Merge)(positions, codes, count, axes, weights, kept, dropped, distance);
    }
};

}  // namespace

TEST(SymmetryCopies, ReplicateLeavesBadInputExactlyAsItWas) {
    const mat4 frame = mat4::Translation(3, 1, 2) * mat4::FromMat3(mat3::Rotation(0.3f, 0.2f, 0.1f));
    const std::vector<vec3> p0{vec3(0.1f, 0.7f, 0.3f), vec3(5, 6, 7)};
    const std::vector<mat3> f0{mat3::Rotation(0.5f, 0, 0), mat3()};
    for (int k = 0; k < 3; ++k) {
        std::vector<vec3> p = p0;
        std::vector<mat3> f = f0;
        if (k == 1) f.pop_back();
        const std::vector<mat3> fk = f;
        const std::vector<TSymmetry> list = k == 0 ? std::vector<TSymmetry>{} : std::vector<TSymmetry>{{0, 0}};
        sym::Replicate(p, f, k == 2 ? mat4::Scale(0.0f) : frame, list);
        EXPECT_EQ(p, p0) << k;
        EXPECT_EQ(f, fk) << k;
    }
}

TEST(SymmetryCopies, ReplicateMakesCopiesInTheDocumentedOrder) {
    std::vector<TSymmetry> list;
    sym::List(list, true, true, true, false, false, true, 6);
    const vec3 p(1, 2, 3);
    const Copies c = replicate(p, list);
    ASSERT_EQ(c.positions.size(), 48u);
    const mat3 turn = mat3::Rotation(0, 0, float(6.283185307179586 / 6));
    EXPECT_TRUE(near(c.positions[1], vec3(-1, 2, 3)));
    EXPECT_TRUE(near(c.positions[6], vec3(1, -2, -3)));  // Y and Z mirrors
    EXPECT_TRUE(near(c.positions[8], turn * p));
    EXPECT_TRUE(near(c.positions[8 * 3 + 5], turn * (turn * (turn * vec3(-1, 2, -3)))));
    // A mirrored right-handed frame is left-handed.
    EXPECT_NEAR(c.frames[1].determinant(), -1.0, 1e-6);
    EXPECT_NEAR(c.frames[8 + 3].determinant(), 1.0, 1e-6);

    // About a translated, turned frame: the mirror plane is the frame's own.
    const mat4 frame = mat4::Translation(10, 0, 0) * mat4::FromMat3(mat3::RotationAroundAxis(vec3(0, 0, 1), 0.5f));
    const vec3 q = frame.transformPoint(vec3(2, 5, 1));
    const Copies m = replicate(q, {{0, 0}}, frame);
    EXPECT_TRUE(near(m.positions[1], frame.transformPoint(vec3(-2, 5, 1)), 1e-4f));
    EXPECT_TRUE(near(m.positions[0], q, 1e-4f));
}

TEST(SymmetryCopies, MatricesFollowTheSameOrderAndPrependNothingToAList) {
    std::vector<TSymmetry> list;
    sym::List(list, true, true, true, false, false, true, 2);
    const vec3 p(1, 2, 3);
    const Copies c = replicate(p, list);
    std::vector<mat4> t;
    sym::Matrices(t, true, true, true, false, false, true, 2);
    ASSERT_EQ(t.size(), c.positions.size());
    for (std::size_t i = 0; i < t.size(); ++i) EXPECT_TRUE(near(t[i].transformPoint(p), c.positions[i])) << i;

    std::vector<mat4> moved{mat4::Translation(0, 0, 5)};
    sym::Matrices(moved, false, false, false, false, false, true, 4);
    ASSERT_EQ(moved.size(), 4u);
    EXPECT_EQ(moved[0], mat4::Translation(0, 0, 5));
    EXPECT_TRUE(near(moved[2].translation(), vec3(0, 0, 5)));
}

TEST(SymmetryCopies, CodesLabelTheCopiesOfReplicate) {
    std::vector<TSymmetry> list{{0, 0}, {1, 0}, {5, 3}, {4, 1}, {7, 0}};
    std::vector<std::uint8_t> codes{9};  // appended after what is there
    sym::Codes(codes, list);
    const vec3 p(1, 2, 3);
    const Copies c = replicate(p, list);
    ASSERT_EQ(codes.size(), c.positions.size() + 1);
    for (std::size_t i = 0; i < c.positions.size(); ++i) {
        const std::uint8_t code = codes[i + 1];
        const vec3 mirrored((code & 1) ? -1.0f : 1.0f, (code & 2) ? -2.0f : 2.0f, 3.0f);
        EXPECT_EQ(near(c.positions[i], mirrored), (code & 32) == 0) << i;
    }
}

TEST(SymmetryCopies, MergeJoinsCopiesOnAMirrorPlaneOrATurningAxis) {
    // On the X mirror plane: one copy at the midpoint, code 0, no symmetry left.
    MergeCase plane({vec3(0.01f, 1, 2), vec3(-0.01f, 1, 2)}, {{0, 0}});
    plane.merge(0.1f);
    EXPECT_EQ(plane.positions, std::vector<vec3>{vec3(0, 1, 2)});
    EXPECT_EQ(plane.codes, std::vector<std::uint8_t>{0});
    EXPECT_EQ(plane.count, 6);
    EXPECT_EQ(plane.weights, std::vector<float>{4.0f});
    std::vector<TSymmetry> rebuilt;
    sym::Rebuild(plane.codes, plane.count, rebuilt);
    EXPECT_TRUE(rebuilt.empty());

    // Six turned copies on the Z axis merge into the first over three passes.
    MergeCase axis(std::vector<vec3>(6, vec3(0, 0, 4)), {{5, 6}});
    axis.merge(0.5f);
    EXPECT_EQ(axis.positions.size(), 1u);
    EXPECT_EQ(axis.count, 4);
    EXPECT_EQ(axis.kept, (std::vector<int>{0, 1, 2, 0, 0}));
    EXPECT_EQ(axis.dropped, (std::vector<int>{1, 2, 3, 1, 1}));

    // The distance test is strict; one copy merges nothing.
    MergeCase apart({vec3(0, 0, 0), vec3(0.5f, 0, 0)}, {{0, 0}});
    apart.merge(0.5f);
    EXPECT_EQ(apart.positions.size(), 2u);
    MergeCase single({vec3(0, 0, 0)}, {});
    single.merge(1.0f);
    EXPECT_TRUE(single.kept.empty());

    // Rebuild keeps the turns with the lowered count.
    sym::Rebuild({0, 1, 33}, 3, rebuilt);
    EXPECT_EQ(rebuilt, (std::vector<TSymmetry>{{0, 0}, {5, 3}}));
}

TEST(SymmetryCopies, ReplayMergesTheRecordedPairsAndSkipsMissingCopies) {
    MergeCase later({vec3(-5, 0, 0), vec3(5, 0, 0), vec3(0, 9, 0), vec3(0, -9, 0)}, {{0, 0}, {1, 0}});
    later.kept = {0, 1};
    later.dropped = {1, 2};
    later.merge(0.001f);
    EXPECT_EQ(later.positions, (std::vector<vec3>{vec3(0, 0, 0), vec3(0, 0, 0)}));
    EXPECT_EQ(later.codes, (std::vector<std::uint8_t>{0, 2}));
    EXPECT_EQ(later.kept.size(), 2u);  // replaying records nothing

    // Against fewer copies than the record was made with.
    MergeCase fewer({vec3(1, 0, 0), vec3(2, 0, 0)}, {{0, 0}});
    fewer.kept = {0, 0, 5, 1};
    fewer.dropped = {7, 1, 0, 1};
    fewer.merge(100.0f);
    EXPECT_EQ(fewer.positions, std::vector<vec3>{vec3(1.5f, 0, 0)});

    // Collapse keeps the first copy as it was.
    MergeCase kept({vec3(0.01f, 0, 0), vec3(-0.01f, 0, 0)}, {{0, 0}});
    kept.axes[0][1] = vec3(-1, 0, 0);
    kept.merge(0.1f, true);
    EXPECT_EQ(kept.positions, std::vector<vec3>{vec3(0.01f, 0, 0)});
    EXPECT_EQ(kept.axes[0], std::vector<vec3>{vec3(1, 0, 0)});
    EXPECT_EQ(kept.weights, std::vector<float>{2.0f});
    EXPECT_EQ(kept.codes, std::vector<std::uint8_t>{0});
}
