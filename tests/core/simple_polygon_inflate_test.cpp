// Inflated meshing of outlines without heights (profile 0, or no GL context):
// the points and triangles of the grid, pinches, appending to vectors that
// already hold entries, and refusals.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "core/simple_polygon.h"
#include "polygon_util.h"

namespace {

using namespace polytest;
using qel::SimplePolygon;
using qel::vec2;
using qel::vec3;

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
