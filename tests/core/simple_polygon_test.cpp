// Triangulation of outlines. Flat: checked by its properties (area, order of
// the points, flags, angles, points on the outline). Inflated without
// heights (profile 0, or no GL context): the points and triangles of the
// grid, pinches, appending to vectors that already hold entries, refusals.

#include "core/simple_polygon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <vector>

#include "core/geometry.h"
#include "polygon_util.h"

namespace {

using namespace polytest;
using qel::SimplePolygon;
using qel::vec2;
using qel::vec3;

struct Result {
    std::vector<vec2> points;
    std::vector<bool> sharp;
    std::vector<int> triangles;
};

// The least angle of the triangles in degrees.
double minAngleDegrees(const Result& r) {
    double best = 180;
    for (std::size_t k = 0; k < r.triangles.size(); ++k) {
        const std::size_t t = k - k % 3;
        const vec2 a = r.points[std::size_t(r.triangles[k])], b = r.points[std::size_t(r.triangles[t + (k + 1) % 3])],
                   c = r.points[std::size_t(r.triangles[t + (k + 2) % 3])];
        const double ux = double(b.x) - a.x, uy = double(b.y) - a.y, vx = double(c.x) - a.x, vy = double(c.y) - a.y;
        best = std::min(best, std::atan2(std::fabs(ux * vy - uy * vx), ux * vx + uy * vy) * 180 / kPi);
    }
    return best;
}

// Exactly on one of the outline's closed segments.
bool onOutline(vec2 p, const std::vector<vec2>& outline) {
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const vec2 a = outline[i], b = outline[(i + 1) % outline.size()];
        if (qel::Orient2D({a.x, a.y}, {b.x, b.y}, {p.x, p.y}) == 0 && p.x >= std::min(a.x, b.x) &&
            p.x <= std::max(a.x, b.x) && p.y >= std::min(a.y, b.y) && p.y <= std::max(a.y, b.y))
            return true;
    }
    return false;
}

// Triangulates and checks what every successful result has: the input points
// first with their flags, counter-clockwise triangles and the expected area
// (the outline's shoelace area when not given).
Result triangulate(const SimplePolygon& p, bool boundary, double area = -1) {
    Result r;
    EXPECT_TRUE(p.triangulate(r.points, r.sharp, r.triangles, boundary));
    const std::size_t n = p.points.size();
    EXPECT_TRUE(r.points.size() >= n && r.sharp.size() == r.points.size() && !r.triangles.empty());
    if (r.points.size() < n || r.sharp.size() != r.points.size()) return r;
    for (std::size_t i = 0; i < r.points.size(); ++i)
        EXPECT_TRUE(r.sharp[i] == (i < n && p.sharp[i]) && (i >= n || r.points[i] == p.points[i])) << i;
    if (area < 0) {
        area = 0;
        for (std::size_t i = 0; i < n; ++i)
            area += 0.5 *
                    (double(p.points[i].x) * p.points[(i + 1) % n].y - double(p.points[(i + 1) % n].x) * p.points[i].y);
        area = std::fabs(area);
    }
    EXPECT_NEAR(checkTriangles(r.points, r.triangles, false), area, 1e-4 * area);
    return r;
}

class TriangulateTest : public ::testing::Test {
protected:
    void SetUp() override { qel::InitExactPredicates(); }
};

TEST_F(TriangulateTest, RefinesToThirtyDegreesWithOrWithoutBoundaryPoints) {
    SimplePolygon square = polygonOf({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    square.sharp = {true, false, true, false};
    std::vector<vec2> noisy;
    for (int i = 0; i < 3000; ++i) {
        const double t = 2 * kPi * i / 3000, rad = 10 + std::sin(7 * t) + 0.3 * std::sin(31 * t);
        noisy.emplace_back(float(rad * std::cos(t)), float(rad * std::sin(t)));
    }
    // The least angle with boundary points: 30 degrees, except for a noisy
    // outline of many points, a clockwise outline with a sharper corner and
    // repeated points.
    const std::pair<SimplePolygon, double> shapes[] = {
        {square, 30},
        {regularPolygon(12, 3.0f), 30},
        {polygonOf({{0, 0}, {4, 0}, {4, 1}, {1, 1}, {1, 3}, {0, 3}}), 30},  // L shape
        {polygonOf({{0, 0}, {10, 0}, {10, 0.5f}, {0, 0.5f}}), 30},          // long and thin
        {regularPolygon(400, 1.0f), 30},
        {polygonOf(noisy), 20.7},
        {polygonOf({{0, 3}, {1, 1}, {1, 3}, {4, 1}, {4, 0}, {0, 0}}), 0},
        {polygonOf({{0, 0}, {2, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}}), 0},
    };
    for (std::size_t k = 0; k < std::size(shapes); ++k) {
        SCOPED_TRACE(k);
        const SimplePolygon& s = shapes[k].first;
        EXPECT_GE(minAngleDegrees(triangulate(s, true)), shapes[k].second - 0.01);  // on the float points
        const Result r = triangulate(s, false);
        for (std::size_t i = s.points.size(); i < r.points.size(); ++i) EXPECT_FALSE(onOutline(r.points[i], s.points));
    }
    // A fine regular polygon is refined from inside.
    EXPECT_GT(triangulate(regularPolygon(64, 1.0f), false).points.size(), 64u);
}

TEST_F(TriangulateTest, CrossingOutlinesFollowTheEvenOddRule) {
    // A bow tie of two triangles of area 1: the outline's signed area is 0.
    for (bool boundary : {false, true}) triangulate(polygonOf({{0, 0}, {2, 2}, {2, 0}, {0, 2}}), boundary, 2.0);
    // A pentagram: its inner pentagon is crossed twice and stays empty.
    std::vector<vec2> star;
    for (int i = 0; i < 5; ++i)
        star.emplace_back(float(std::cos(kPi / 2 + 4 * kPi * i / 5)), float(std::sin(kPi / 2 + 4 * kPi * i / 5)));
    const double inner = (3 - std::sqrt(5.0)) / 2;  // inner vertex radius
    triangulate(polygonOf(star), true, 5 * inner * std::sin(kPi / 5) - 2.5 * inner * inner * std::sin(2 * kPi / 5));
}

TEST_F(TriangulateTest, AppendsOrRefusesOutlinesWithoutAreaAndReadsAShortSharpListAsFalse) {
    SimplePolygon p = regularPolygon(6, 1.0f);
    p.sharp = {true};
    Result r{{{9, 9}, {8, 8}}, {true, true}, {0, 1, 0}};
    ASSERT_TRUE(p.triangulate(r.points, r.sharp, r.triangles, true));
    ASSERT_EQ(r.points.size(), r.sharp.size());
    EXPECT_TRUE(r.points[0] == vec2(9, 9) && r.triangles[0] == 0);
    for (std::size_t i = 0; i < p.points.size(); ++i) EXPECT_EQ(r.points[2 + i], p.points[i]);
    EXPECT_TRUE(r.sharp[2] && !r.sharp[3] && !r.sharp[7]);
    for (std::size_t k = 3; k < r.triangles.size(); ++k)  // counted from the first appended point
        EXPECT_TRUE(r.triangles[k] >= 0 && std::size_t(r.triangles[k]) < r.points.size() - 2);

    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const std::vector<std::vector<vec2>> bad = {{},
                                                {{0, 0}, {1, 1}, {0, 0}, {1, 1}},
                                                {{0, 0}, {1, 1}, {2, 2}, {1, 1}},
                                                {{1, 1}, {1, 1}, {1, 1}},
                                                {{0, 0}, {1, 0}, {nan, 1}},
                                                {{0, 0}, {inf, 0}, {0, 1}}};
    for (const auto& pts : bad)
        for (bool boundary : {false, true}) {
            Result kept{{{5, 5}}, {true}, {0, 0, 0}};
            EXPECT_FALSE(polygonOf(pts).triangulate(kept.points, kept.sharp, kept.triangles, boundary)) << pts.size();
            EXPECT_TRUE(kept.points.size() == 1 && kept.sharp.size() == 1 && kept.triangles.size() == 3);
        }
}

const SimplePolygon kSquare = polygonOf({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, true);

TEST(TriangulateU, RectanglesKeepTheirCornersAndCoverTheirArea) {
    // The sides fall on half-way cell positions; the corners must survive
    // there all four, as the only sharp points, and the flat mesh must cover
    // the rectangle exactly.
    const float sides[][2] = {{1, 1}, {4, 1}, {1, 3}, {2.5f, 2.5f}, {3, 2}};
    for (const auto& side : sides)
        for (const float n : {7.0f, 16.0f, 33.0f, 128.0f}) {
            const float w = side[0], h = side[1];
            SCOPED_TRACE(testing::Message() << w << " x " << h << " at " << n);
            const SimplePolygon rect = polygonOf({{0, 0}, {w, 0}, {w, h}, {0, h}}, true);
            const Inflated g = inflate(rect, 0, n);
            ASSERT_EQ(g.result, SimplePolygon::InflateDone);
            // The long side spans the resolution, plus a margin of 3 cells a side.
            const double scale = double(n) / std::max(w, h);
            EXPECT_EQ(SimplePolygon::W + SimplePolygon::H, int(n) + int(scale * std::min(w, h)) + 12);
            EXPECT_NEAR(g.area(), double(w) * h, 1e-6 * w * h);
            std::vector<bool> used(g.points.size(), false);
            for (const int i : g.triangles) used[std::size_t(i)] = true;
            int corners = 0;
            for (std::size_t i = 0; i < g.points.size(); ++i) {
                const vec3& p = g.points[i];
                EXPECT_EQ(p.z, 0.0f);
                const bool onX = std::fabs(p.x) < 1e-5f || std::fabs(p.x - w) < 1e-5f;
                const bool onY = std::fabs(p.y) < 1e-5f || std::fabs(p.y - h) < 1e-5f;
                EXPECT_EQ(bool(g.sharp[i]), onX && onY) << p.x << ", " << p.y;
                corners += g.sharp[i] && used[i] ? 1 : 0;
                // Inner points sit on the grid (grid coordinate p scale + 2.5).
                const double gx = p.x * scale + 2.5, gy = p.y * scale + 2.5;
                EXPECT_TRUE(onX || onY ||
                            (std::fabs(gx - std::round(gx)) < 1e-4 && std::fabs(gy - std::round(gy)) < 1e-4));
            }
            EXPECT_EQ(corners, 4);
            for (const bool sharp : inflate(polygonOf(rect.points), 0, n).sharp) EXPECT_FALSE(sharp);
        }
    EXPECT_NEAR(inflate(regularPolygon(90, 2.0f), 0, 64.0f).area(), kPi * 4.0, 0.01 * kPi * 4.0);
}

TEST(TriangulateU, LobesMeetingInOneCellGetTwoSharpCopies) {
    // An hourglass: two triangles meeting at their apex, drawn as one outline.
    const vec2 apex(1.05f, 1.1f);
    SimplePolygon hourglass = polygonOf({{0, 0}, {2, 0}, apex, {2, 2}, {0, 2}, apex});
    hourglass.sharp[2] = true;  // the apex keeps its exact place
    const Inflated g = inflate(hourglass, 0, 16.0f);
    ASSERT_EQ(g.result, SimplePolygon::InflateDone);
    g.area();  // indices and winding
    int pinch = -1, pinches = 0;
    for (std::size_t i = 0; i + 1 < g.points.size(); ++i) {
        if (!(g.points[i] == g.points[i + 1])) continue;
        pinch = int(i);
        ++pinches;
    }
    ASSERT_EQ(pinches, 1);
    EXPECT_TRUE(g.sharp[std::size_t(pinch)] && g.sharp[std::size_t(pinch) + 1]);
    EXPECT_TRUE(g.points[std::size_t(pinch)].x == apex.x && g.points[std::size_t(pinch)].y == apex.y);
    // Each copy serves one lobe: the first the lower, the second the upper.
    int lobes[2] = {0, 0};
    for (std::size_t t = 0; t < g.triangles.size(); t += 3) {
        const int* v = &g.triangles[t];
        const long first = std::count(v, v + 3, pinch), second = std::count(v, v + 3, pinch + 1);
        if (first + second == 0) continue;
        EXPECT_EQ(first + second, 1);
        const float cy =
            (g.points[std::size_t(v[0])].y + g.points[std::size_t(v[1])].y + g.points[std::size_t(v[2])].y) / 3;
        EXPECT_EQ(cy > apex.y, second == 1) << "triangle " << t / 3;
        ++lobes[second];
    }
    EXPECT_TRUE(lobes[0] > 0 && lobes[1] > 0);
}

TEST(TriangulateU, AppendsAfterExistingEntriesARefusalAddsNothingAndNoContextGivesAFlatGrid) {
    const Inflated fresh = inflate(kSquare, 0, 12.0f);
    Inflated before;
    before.points = {vec3(9, 8, 7), vec3(-1, -2, -3)};
    before.sharp = {true, false};
    before.triangles = {0, 1, 0};
    Inflated g = before;
    ASSERT_EQ(kSquare.triangulateU(g.points, g.sharp, g.triangles, 0, 12.0f), SimplePolygon::InflateDone);
    Inflated expected = before;
    expected.points.insert(expected.points.end(), fresh.points.begin(), fresh.points.end());
    expected.sharp.insert(expected.sharp.end(), fresh.sharp.begin(), fresh.sharp.end());
    for (const int i : fresh.triangles) expected.triangles.push_back(i + 2);  // counted from the vector's start
    EXPECT_TRUE(g.points == expected.points && g.sharp == expected.sharp && g.triangles == expected.triangles);
    // Without a GL context heights fail and the grid stays flat.
    const Inflated raised = inflate(kSquare, 2, 12.0f);
    EXPECT_TRUE(raised.result == SimplePolygon::InflateFlat && raised.points == fresh.points);
    EXPECT_EQ(raised.triangles, fresh.triangles);

    // Outlines without area and unusable resolutions are refused.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const std::vector<vec2>& pts :
         {std::vector<vec2>{{0, 0}, {1, 0}}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}, {{0, 0}, {1, 0}, {nan, 1}}}) {
        g = before;
        EXPECT_EQ(polygonOf(pts).triangulateU(g.points, g.sharp, g.triangles, 0, 16.0f), SimplePolygon::InflateRefused);
        EXPECT_TRUE(g.points == before.points && g.sharp == before.sharp && g.triangles == before.triangles);
    }
    for (const float resolution : {0.5f, nan, 1e9f})
        EXPECT_EQ(inflate(kSquare, 0, resolution).result, SimplePolygon::InflateRefused) << resolution;
}

}  // namespace
