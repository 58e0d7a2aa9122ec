// Grid meshing of outlines without heights (profile 0, or no GL context):
// refusals, the points and triangles of the grid, pinches, and appending to
// vectors that already hold entries.

#include "core/simple_polygon.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

using qel::SimplePolygon;
using qel::vec2;
using qel::vec3;

constexpr double kPi = 3.14159265358979323846;

SimplePolygon polygonOf(const std::vector<vec2>& points, bool sharp = false) {
    SimplePolygon p;
    p.points = points;
    p.sharp.assign(points.size(), sharp);
    return p;
}

SimplePolygon unitSquare(bool sharp) { return polygonOf({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, sharp); }

SimplePolygon circle(int n, float radius) {
    std::vector<vec2> pts;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * kPi * i / n;
        pts.emplace_back(float(radius * std::cos(t)), float(radius * std::sin(t)));
    }
    return polygonOf(pts);
}

struct Grid {
    std::vector<vec3> points;
    std::vector<bool> sharp;
    std::vector<int> triangles;
    int result = 0;

    double signedArea(std::size_t t) const {
        const vec3 a = points[std::size_t(triangles[3 * t])], b = points[std::size_t(triangles[3 * t + 1])],
                   c = points[std::size_t(triangles[3 * t + 2])];
        return 0.5 * ((double(b.x) - a.x) * (double(c.y) - a.y) - (double(b.y) - a.y) * (double(c.x) - a.x));
    }
    std::size_t triangleCount() const { return triangles.size() / 3; }
};

Grid inflate(const SimplePolygon& p, unsigned char profile, float resolution) {
    Grid g;
    g.result = p.triangulateU(g.points, g.sharp, g.triangles, profile, resolution);
    return g;
}

// Every triangle indexes the output and none is clockwise (three rim points
// on one straight side may give a flat one).
void expectSoundTriangles(const Grid& g) {
    ASSERT_EQ(g.triangles.size() % 3, 0u);
    for (int i : g.triangles) {
        ASSERT_GE(i, 0);
        ASSERT_LT(std::size_t(i), g.points.size());
    }
    for (std::size_t t = 0; t < g.triangleCount(); ++t) EXPECT_GE(g.signedArea(t), 0.0) << "triangle " << t;
}

double totalArea(const Grid& g) {
    double area = 0.0;
    for (std::size_t t = 0; t < g.triangleCount(); ++t) area += g.signedArea(t);
    return area;
}

TEST(TriangulateU, RefusesOutlinesWithoutAreaAndBadResolutions) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<SimplePolygon> bad = {
        polygonOf({}),
        polygonOf({{0, 0}, {1, 0}}),
        polygonOf({{0, 0}, {1, 0}, {0, 0}, {1, 0}}),
        polygonOf({{0, 0}, {1, 1}, {2, 2}, {3, 3}}),
        polygonOf({{2, 2}, {2, 2}, {2, 2}}),
        polygonOf({{0, 0}, {1, 0}, {nan, 1}}),
    };
    for (const SimplePolygon& p : bad) {
        Grid g;
        g.points.push_back(vec3(7, 7, 7));
        EXPECT_EQ(p.triangulateU(g.points, g.sharp, g.triangles, 0, 16.0f), SimplePolygon::InflateRefused);
        EXPECT_EQ(g.points.size(), 1u);
        EXPECT_TRUE(g.sharp.empty());
        EXPECT_TRUE(g.triangles.empty());
    }
    for (float resolution : {0.0f, 0.5f, -3.0f, nan, std::numeric_limits<float>::infinity(), 1e9f})
        EXPECT_EQ(inflate(unitSquare(false), 0, resolution).result, SimplePolygon::InflateRefused) << resolution;
}

TEST(TriangulateU, SquareGridIsFlatCoversTheSquareAndKeepsOutlinePointsExact) {
    const int n = 16;
    const Grid g = inflate(unitSquare(true), 0, float(n));
    ASSERT_EQ(g.result, SimplePolygon::InflateDone);
    ASSERT_EQ(g.points.size(), g.sharp.size());
    expectSoundTriangles(g);
    // The far corner lies on a cell's edge and may be cut by about a cell.
    EXPECT_NEAR(totalArea(g), 1.0, 1.0 / (n * n));

    for (std::size_t i = 0; i < g.points.size(); ++i) {
        const vec3& p = g.points[i];
        EXPECT_EQ(p.z, 0.0f);
        const bool onOutline = p.x == 0.0f || p.x == 1.0f || p.y == 0.0f || p.y == 1.0f;
        // Inner points sit on the grid: grid coordinate = p * n + 2.5.
        const double gx = p.x * n + 2.5, gy = p.y * n + 2.5;
        const bool onGrid = std::fabs(gx - std::round(gx)) < 1e-4 && std::fabs(gy - std::round(gy)) < 1e-4;
        EXPECT_TRUE(onOutline || onGrid) << p.x << ", " << p.y;
        EXPECT_TRUE(p.x >= 0.0f && p.x <= 1.0f && p.y >= 0.0f && p.y <= 1.0f) << p.x << ", " << p.y;
        // Only outline corners carry the sharp flag, at their exact place.
        if (g.sharp[i]) {
            EXPECT_TRUE((p.x == 0.0f || p.x == 1.0f) && (p.y == 0.0f || p.y == 1.0f));
        }
    }
    // The corner whose cell also received row and column crossings keeps
    // its exact position.
    int found = 0;
    for (std::size_t i = 0; i < g.points.size(); ++i)
        if (g.points[i].x == 0.0f && g.points[i].y == 0.0f) {
            ++found;
            EXPECT_TRUE(g.sharp[i]);
        }
    EXPECT_EQ(found, 1);
}

TEST(TriangulateU, PlainOutlinePointsAreNotSharp) {
    const Grid g = inflate(unitSquare(false), 0, 16.0f);
    ASSERT_EQ(g.result, SimplePolygon::InflateDone);
    for (bool s : g.sharp) EXPECT_FALSE(s);
}

TEST(TriangulateU, LongSideSpansTheResolution) {
    const SimplePolygon wide = polygonOf({{0, 0}, {4, 0}, {4, 1}, {0, 1}});
    const Grid g = inflate(wide, 0, 32.0f);
    ASSERT_EQ(g.result, SimplePolygon::InflateDone);
    EXPECT_EQ(SimplePolygon::W, 32 + 6);
    EXPECT_EQ(SimplePolygon::H, 8 + 6);
    expectSoundTriangles(g);
    // Two far corners may each be cut by about a cell of 1/64.
    EXPECT_NEAR(totalArea(g), 4.0, 2.0 / 64.0);
}

TEST(TriangulateU, CircleGridApproachesTheDiscArea) {
    const Grid g = inflate(circle(90, 2.0f), 0, 64.0f);
    ASSERT_EQ(g.result, SimplePolygon::InflateDone);
    expectSoundTriangles(g);
    EXPECT_NEAR(totalArea(g), kPi * 4.0, 0.01 * kPi * 4.0);
}

TEST(TriangulateU, LobesMeetingInOneCellGetTwoSharpCopies) {
    // An hourglass: two triangles meeting at their apex, drawn as one outline.
    const vec2 apex(1.05f, 1.1f);
    SimplePolygon hourglass = polygonOf({{0, 0}, {2, 0}, apex, {2, 2}, {0, 2}, apex});
    hourglass.sharp[2] = true;  // the apex keeps its exact place
    const Grid g = inflate(hourglass, 0, 16.0f);
    ASSERT_EQ(g.result, SimplePolygon::InflateDone);
    expectSoundTriangles(g);

    int pinches = 0;
    for (std::size_t i = 0; i + 1 < g.points.size(); ++i) {
        if (!(g.points[i] == g.points[i + 1])) continue;
        ++pinches;
        EXPECT_TRUE(g.sharp[i]);
        EXPECT_TRUE(g.sharp[i + 1]);
        EXPECT_FLOAT_EQ(g.points[i].x, apex.x);
        EXPECT_FLOAT_EQ(g.points[i].y, apex.y);
        // Each copy serves one lobe: the first the lower, the second the upper.
        int lower = 0, upper = 0;
        for (std::size_t t = 0; t < g.triangleCount(); ++t) {
            float cy = 0.0f;
            bool usesFirst = false, usesSecond = false;
            for (int k = 0; k < 3; ++k) {
                const int v = g.triangles[3 * t + std::size_t(k)];
                cy += g.points[std::size_t(v)].y / 3.0f;
                usesFirst = usesFirst || v == int(i);
                usesSecond = usesSecond || v == int(i + 1);
            }
            EXPECT_FALSE(usesFirst && usesSecond);
            if (usesFirst) {
                ++lower;
                EXPECT_LT(cy, apex.y);
            }
            if (usesSecond) {
                ++upper;
                EXPECT_GT(cy, apex.y);
            }
        }
        EXPECT_GT(lower, 0);
        EXPECT_GT(upper, 0);
    }
    EXPECT_EQ(pinches, 1);
}

TEST(TriangulateU, AppendsAfterExistingEntriesWithoutTouchingThem) {
    const SimplePolygon p = unitSquare(true);
    const Grid fresh = inflate(p, 0, 12.0f);

    Grid g;
    g.points = {vec3(9, 8, 7), vec3(-1, -2, -3)};
    g.sharp = {true, false};
    g.triangles = {0, 1, 0};
    ASSERT_EQ(p.triangulateU(g.points, g.sharp, g.triangles, 0, 12.0f), SimplePolygon::InflateDone);

    ASSERT_EQ(g.points.size(), fresh.points.size() + 2);
    EXPECT_EQ(g.points[0], vec3(9, 8, 7));
    EXPECT_EQ(g.points[1], vec3(-1, -2, -3));
    EXPECT_TRUE(g.sharp[0]);
    EXPECT_FALSE(g.sharp[1]);
    for (std::size_t i = 0; i < fresh.points.size(); ++i) {
        EXPECT_EQ(g.points[i + 2], fresh.points[i]);
        EXPECT_EQ(g.sharp[i + 2], fresh.sharp[i]);
    }
    ASSERT_EQ(g.triangles.size(), fresh.triangles.size() + 3);
    for (std::size_t i = 0; i < fresh.triangles.size(); ++i) EXPECT_EQ(g.triangles[i + 3], fresh.triangles[i] + 2);
}

TEST(TriangulateU, WithoutGLContextHeightsFailAndTheGridStaysFlat) {
    const SimplePolygon p = circle(40, 1.0f);
    const Grid flat = inflate(p, 0, 24.0f);
    const Grid raised = inflate(p, 2, 24.0f);
    EXPECT_EQ(raised.result, SimplePolygon::InflateFlat);
    ASSERT_EQ(raised.points.size(), flat.points.size());
    for (std::size_t i = 0; i < flat.points.size(); ++i) EXPECT_EQ(raised.points[i], flat.points[i]);
    EXPECT_EQ(raised.triangles, flat.triangles);
}

}  // namespace
