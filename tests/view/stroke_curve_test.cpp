// The drawn curve of the view's drawing gesture: the samples of the strokes,
// the closed two-point shapes, the general construction and its circles.

#include "view/stroke_curve.h"

#include <gtest/gtest.h>

#include <cmath>

#include "view/assemblor.h"

using namespace qel;

namespace {

ABrush click(const vec3& p, int kind, float radius = 4.0f) {
    ABrush b;
    b.point = p;
    b.normal = vec3(0, 0, 2);
    b.pixelVector = vec3(0.5f, 0, 0);
    b.radius = radius;
    b.kind = kind;
    return b;
}

// One stroke of one click per point, as the drawing makes them.
Assemblor drawing(const std::vector<vec3>& points, const std::vector<int>& kinds) {
    Assemblor a(click(points[0], kinds[0]), false);
    for (size_t i = 1; i < points.size(); ++i) a.strokes.back().stamps.push_back(click(points[i], kinds[i]));
    return a;
}

struct Curve {
    std::vector<vec3> points, normals;
    std::vector<float> radii;
    std::vector<bool> sharp;
};

Curve curveOf(const Assemblor& a, bool closed, const mat4& M = mat4()) {
    Curve c;
    const mat4 placement = a.ToCurve(c.points, c.normals, c.radii, c.sharp, closed, M);
    EXPECT_TRUE(placement == mat4::Identity());
    EXPECT_EQ(c.points.size(), c.radii.size());
    EXPECT_EQ(c.points.size(), c.sharp.size());
    for (const vec3& p : c.points) EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
    return c;
}

int countSharp(const Curve& c) {
    int n = 0;
    for (bool s : c.sharp) n += s;
    return n;
}

}  // namespace

TEST(StrokeCurve, SamplesAreTheStrokeStampsInTheDrawingSpace) {
    Assemblor a = drawing({{2, 4, 6}, {4, 0, 0}}, {1, 0});
    a.stamps.push_back(click({9, 9, 9}, 0));  // a Space stamp: no sample
    std::vector<SBrush> samples(1);
    const mat4 M = mat4::Translation(1, 0, 0) * mat4::Scale(2.0f);
    EXPECT_TRUE(a.ToBrushes(samples, M) == mat4::Identity());
    ASSERT_EQ(samples.size(), 3u);  // appended to what was there
    EXPECT_LT(length(samples[1].point - vec3(0.5f, 2, 3)), 1e-6);
    EXPECT_LT(length(samples[1].normal - vec3(0, 0, 0.5f)), 1e-6);
    EXPECT_FLOAT_EQ(samples[1].radius, 1.0f);
    EXPECT_EQ(samples[1].kind, 1u);
    EXPECT_LT(length(samples[2].point - vec3(1.5f, 0, 0)), 1e-6);
    std::vector<SBrush> none;
    a.ToBrushes(none, mat4::Scale(0.0f));  // no inverse: nothing
    EXPECT_TRUE(none.empty());
}

TEST(StrokeCurve, NoStrokesAndSpaceStampsGiveNoVertices) {
    Assemblor a;
    EXPECT_TRUE(curveOf(a, true).points.empty());
    a = drawing({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {1, 0, 0});
    a.stamps.push_back(click({5, 5, 5}, 0));
    const Curve c = curveOf(a, false);
    ASSERT_EQ(c.points.size(), 3u);
    for (const vec3& p : c.points) EXPECT_NE(p, vec3(5, 5, 5));
    EXPECT_TRUE(c.normals.empty());  // the general construction gives no normals
}

// Two clicks with the closed option: the first click of a drawing is a
// sharp corner, so plain clicks give "sb".
TEST(StrokeCurve, TwoClosedClicksGiveTheirShape) {
    struct Row {
        int k0, k1;
        size_t count;
        std::vector<size_t> sharpAt;
    };
    const Row rows[] = {
        {1, 0, 33, {0}},      {1, 3, 33, {0}}, {3, 1, 33, {32}}, {0, 0, 33, {}},
        {1, 1, 5, {0, 2, 4}}, {2, 2, 64, {}},  {1, 2, 64, {0}},  {2, 1, 64, {32}},
    };
    const vec3 p0(0, 0, 0), p1(2, 0, 0);
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.k0 << r.k1);
        const Curve c = curveOf(drawing({p0, p1}, {r.k0, r.k1}), true);
        ASSERT_EQ(c.points.size(), r.count);
        ASSERT_EQ(c.normals.size(), r.count);
        EXPECT_EQ(countSharp(c), int(r.sharpAt.size()));
        for (size_t i : r.sharpAt) EXPECT_TRUE(c.sharp[i]);
        EXPECT_EQ(c.points[0], p0);
        EXPECT_EQ(c.normals[0], vec3(0, 0, 1));
        EXPECT_LT(length(c.points[r.count == 5 ? 2 : 32] - p1), 1e-5);
        EXPECT_FLOAT_EQ(c.radii[0], 2.0f);
    }
}

// The circle on the two Alt-clicks as diameter runs through both, also
// when the second lies deeper than the first.
TEST(StrokeCurve, TwoClosedArcClicksGiveACircleThroughBoth) {
    const vec3 ends[] = {{2, 0, 0}, {1, 1, 2}, {0, 0, 3}};
    for (const vec3& p1 : ends) {
        const vec3 p0(0, 0, 0), m = p1 * 0.5f;
        const Curve c = curveOf(drawing({p0, p1}, {2, 2}), true);
        ASSERT_EQ(c.points.size(), 64u);
        EXPECT_EQ(c.points[0], p0);
        EXPECT_LT(length(c.points[32] - p1), 1e-5);
        const double r = length(p1) / 2;
        for (const vec3& p : c.points) EXPECT_NEAR(length(p - m), r, 1e-5);
        EXPECT_GT(length(c.points[16] - c.points[48]), 1.9 * r);  // the halves lie opposite
    }
}

// Three arc-marked points on one line: no circle, a straight segment
// between the samples and no point off the line.
TEST(StrokeCurve, CollinearArcSamplesGiveAStraightFill) {
    EXPECT_EQ(circleThrough({0, 0, 0}, {1, 0, 0}, {3, 0, 0}).radius, 0.0f);
    EXPECT_FALSE(tangentCircle({0, 0, 0}, {1, 0, 0}, {3, 0, 0}).found);
    const Curve line = curveOf(drawing({{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}}, {1, 2, 2, 0}), false);
    ASSERT_EQ(line.points.size(), 4u);
    for (const vec3& p : line.points) EXPECT_LT(length(cross(p, vec3(1, 1, 1))), 1e-5);
}

TEST(StrokeCurve, CircleConstructions) {
    const CircleThrough c = circleThrough({1, 0, 0}, {0, 1, 0}, {-1, 0, 0});
    EXPECT_LT(length(c.centre), 1e-6);
    EXPECT_FLOAT_EQ(c.radius, 1.0f);
    EXPECT_LT(length(c.toA - vec3(1, 0, 0)), 1e-6);
    EXPECT_LT(length(c.toC - vec3(-1, 0, 0)), 1e-6);
    const TangentCircle t = tangentCircle({0, 0, 0}, {2, 0, 0}, {1, 1, 0});
    ASSERT_TRUE(t.found);
    EXPECT_LT(length(t.centre - vec3(0, 1, 0)), 1e-6);
    EXPECT_NEAR(t.radius, 1.0, 1e-6);
    EXPECT_LT(length(t.endDirection - vec3(0, 1, 0)), 1e-6);
}

// A single arc point and a run of them: every sample is on the curve with
// its sharp flag, 19 points fill each arc segment, and the arc through a
// single arc point is its three-point circle.
TEST(StrokeCurve, ArcRunsPassThroughEverySample) {
    const std::vector<vec3> single = {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}};
    const Curve c = curveOf(drawing(single, {1, 2, 1}), false);
    ASSERT_EQ(c.points.size(), 3u + 2 * 19);
    EXPECT_TRUE(c.sharp[0] && c.sharp[40] && countSharp(c) == 2);
    EXPECT_EQ(c.points[20], single[1]);
    for (const vec3& p : c.points) EXPECT_NEAR(length(p), 1.0, 1e-5);
    EXPECT_GT(c.points[10].y, 0.5f);

    const std::vector<vec3> run = {{0, 0, 0}, {1, 1, 0}, {2, 1, 1}, {3, 0, 1}, {4, 2, 0}, {5, 0, 0}};
    const Curve r = curveOf(drawing(run, {1, 2, 2, 2, 3, 3}), false);
    // Four arc segments up to the sample after the run, then a cubic.
    ASSERT_EQ(r.points.size(), run.size() + 5 * 19);
    for (size_t i = 0; i < run.size(); ++i) EXPECT_EQ(r.points[20 * i], run[i]);
    EXPECT_TRUE(r.sharp[0] && countSharp(r) == 1);
    // Short steps that turn gently: the arcs go the short way round and
    // meet without a kink, also where the cubic takes over.
    for (size_t i = 1; i + 1 < r.points.size(); ++i) {
        const vec3 a = r.points[i] - r.points[i - 1], b = r.points[i + 1] - r.points[i];
        EXPECT_LT(length(a), 0.3);
        EXPECT_GT(dot(a, b) / (length(a) * length(b)), 0.8) << i;
    }
}

// Drawings of every kind mix, open and closed, with repeated and aligned
// points: finite vertices, every sample in order, the sharp flags of the
// sharp corners only (the closed two-point shapes aside).
TEST(StrokeCurve, AnyDrawingKeepsItsSamples) {
    unsigned seed = 12345;
    const auto next = [&seed](unsigned range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    for (int round = 0; round < 400; ++round) {
        const size_t n = 1 + next(7);
        std::vector<vec3> points;
        std::vector<int> kinds;
        int sharpCount = 0;
        for (size_t i = 0; i < n; ++i) {
            points.emplace_back(float(next(3)), float(next(3)), float(next(2)));  // repeats and lines happen
            kinds.push_back(int(next(4)));
            sharpCount += kinds.back() == 1;
        }
        const bool closed = next(2) == 1;
        if (closed && n == 2) continue;
        SCOPED_TRACE(round);
        const Curve c = curveOf(drawing(points, kinds), closed);
        EXPECT_EQ(countSharp(c), sharpCount);
        size_t at = 0;
        for (const vec3& p : points) {
            while (at < c.points.size() && c.points[at] != p) ++at;
            EXPECT_LT(at, c.points.size());
            ++at;
        }
    }
}
