// Flat triangulation of outlines (checked by its properties: area, order of
// the points, flags, angles, points on the outline) and the grid scan
// conversion.

#include "core/simple_polygon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "core/geometry.h"

namespace {

using qel::dvec2;
using qel::SimplePolygon;
using qel::vec2;

constexpr double kPi = 3.14159265358979323846;

SimplePolygon polygonOf(const std::vector<vec2>& points, bool sharp = false) {
    SimplePolygon p;
    p.points = points;
    p.sharp.assign(points.size(), sharp);
    return p;
}

SimplePolygon regularPolygon(int n, float radius) {
    std::vector<vec2> pts;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * kPi * i / n;
        pts.emplace_back(float(radius * std::cos(t)), float(radius * std::sin(t)));
    }
    return polygonOf(pts);
}

double shoelaceArea(const std::vector<vec2>& pts) {
    double a = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const vec2 p = pts[i], q = pts[(i + 1) % pts.size()];
        a += double(p.x) * q.y - double(q.x) * p.y;
    }
    return 0.5 * a;
}

struct Result {
    std::vector<vec2> points;
    std::vector<bool> sharp;
    std::vector<int> triangles;

    double signedArea(int t) const {
        const vec2 a = points[std::size_t(triangles[3 * t])], b = points[std::size_t(triangles[3 * t + 1])],
                   c = points[std::size_t(triangles[3 * t + 2])];
        return 0.5 * ((double(b.x) - a.x) * (double(c.y) - a.y) - (double(b.y) - a.y) * (double(c.x) - a.x));
    }
    int triangleCount() const { return int(triangles.size() / 3); }
    double totalArea() const {
        double s = 0;
        for (int t = 0; t < triangleCount(); ++t) s += signedArea(t);
        return s;
    }
    double minAngleDegrees(int t) const {
        double best = 180;
        for (int k = 0; k < 3; ++k) {
            const vec2 a = points[std::size_t(triangles[3 * t + k])];
            const vec2 b = points[std::size_t(triangles[3 * t + (k + 1) % 3])];
            const vec2 c = points[std::size_t(triangles[3 * t + (k + 2) % 3])];
            const double ux = double(b.x) - a.x, uy = double(b.y) - a.y;
            const double vx = double(c.x) - a.x, vy = double(c.y) - a.y;
            best = std::min(best, std::atan2(std::fabs(ux * vy - uy * vx), ux * vx + uy * vy) * 180 / kPi);
        }
        return best;
    }
    double minAngleDegrees() const {
        double best = 180;
        for (int t = 0; t < triangleCount(); ++t) best = std::min(best, minAngleDegrees(t));
        return best;
    }
};

Result triangulate(const SimplePolygon& p, bool boundary, bool expectOk = true) {
    Result r;
    EXPECT_EQ(p.triangulate(r.points, r.sharp, r.triangles, boundary), expectOk);
    return r;
}

// Exactly on one of the outline's closed segments.
bool onOutline(vec2 p, const std::vector<vec2>& outline) {
    const dvec2 q(p.x, p.y);
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const dvec2 a(outline[i].x, outline[i].y);
        const dvec2 b(outline[(i + 1) % outline.size()].x, outline[(i + 1) % outline.size()].y);
        if (qel::Orient2D(a, b, q) == 0 && q.x >= std::min(a.x, b.x) && q.x <= std::max(a.x, b.x) &&
            q.y >= std::min(a.y, b.y) && q.y <= std::max(a.y, b.y))
            return true;
    }
    return false;
}

// Inside by the even-odd rule (a ray towards +x).
bool insideEvenOdd(double x, double y, const std::vector<vec2>& outline) {
    bool inside = false;
    for (std::size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++) {
        const double xi = outline[i].x, yi = outline[i].y, xj = outline[j].x, yj = outline[j].y;
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
    }
    return inside;
}

// Properties every successful result has: the input points first with
// their flags, valid counter-clockwise triangles, the outline's area, and
// every triangle inside the region.
void checkCommon(const SimplePolygon& p, const Result& r, double expectedArea) {
    const std::size_t n = p.points.size();
    ASSERT_GE(r.points.size(), n);
    ASSERT_EQ(r.sharp.size(), r.points.size());
    for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(r.points[i], p.points[i]) << i;
        EXPECT_EQ(r.sharp[i], bool(p.sharp[i])) << i;
    }
    for (std::size_t i = n; i < r.points.size(); ++i) EXPECT_FALSE(r.sharp[i]) << i;
    ASSERT_EQ(r.triangles.size() % 3, 0u);
    ASSERT_GT(r.triangleCount(), 0);
    for (int idx : r.triangles) {
        ASSERT_GE(idx, 0);
        ASSERT_LT(std::size_t(idx), r.points.size());
    }
    for (int t = 0; t < r.triangleCount(); ++t) {
        EXPECT_GT(r.signedArea(t), 0.0) << "triangle " << t;
        const vec2 a = r.points[std::size_t(r.triangles[3 * t])], b = r.points[std::size_t(r.triangles[3 * t + 1])],
                   c = r.points[std::size_t(r.triangles[3 * t + 2])];
        EXPECT_TRUE(insideEvenOdd((double(a.x) + b.x + c.x) / 3, (double(a.y) + b.y + c.y) / 3, p.points))
            << "triangle " << t;
    }
    EXPECT_NEAR(r.totalArea(), expectedArea, 1e-4 * expectedArea);
}

class TriangulateTest : public ::testing::Test {
protected:
    void SetUp() override { qel::InitExactPredicates(); }
};

TEST_F(TriangulateTest, SquareWithoutBoundaryPointsAddsNoneOnTheSides) {
    SimplePolygon square = polygonOf({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    square.sharp = {true, false, true, false};
    const Result r = triangulate(square, false);
    checkCommon(square, r, 1.0);
    for (std::size_t i = 4; i < r.points.size(); ++i) EXPECT_FALSE(onOutline(r.points[i], square.points)) << i;
}

TEST_F(TriangulateTest, QualityRefinementReachesThirtyDegrees) {
    const SimplePolygon shapes[] = {
        polygonOf({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, true),
        regularPolygon(12, 3.0f),
        polygonOf({{0, 0}, {4, 0}, {4, 1}, {1, 1}, {1, 3}, {0, 3}}),  // L shape
        polygonOf({{0, 0}, {10, 0}, {10, 0.5f}, {0, 0.5f}}),          // long and thin
        regularPolygon(400, 1.0f),
    };
    for (const SimplePolygon& s : shapes) {
        const Result r = triangulate(s, true);
        checkCommon(s, r, std::fabs(shoelaceArea(s.points)));
        // Added points may sit on the outline; angles are measured on the
        // float-rounded points.
        EXPECT_GE(r.minAngleDegrees(), 30.0 - 0.01) << s.points.size() << " points";
    }
}

TEST_F(TriangulateTest, InteriorRefinementKeepsTheOutline) {
    const SimplePolygon shapes[] = {
        regularPolygon(32, 2.0f),
        polygonOf({{0, 0}, {4, 0}, {4, 1}, {1, 1}, {1, 3}, {0, 3}}),
        polygonOf({{0, 0}, {10, 0}, {10, 0.5f}, {0, 0.5f}}),
    };
    for (const SimplePolygon& s : shapes) {
        const Result r = triangulate(s, false);
        checkCommon(s, r, std::fabs(shoelaceArea(s.points)));
        for (std::size_t i = s.points.size(); i < r.points.size(); ++i)
            EXPECT_FALSE(onOutline(r.points[i], s.points)) << i;
    }
    // A fine regular polygon is refined from inside.
    const SimplePolygon disc = regularPolygon(64, 1.0f);
    const Result r = triangulate(disc, false);
    EXPECT_GT(r.points.size(), disc.points.size());
}

TEST_F(TriangulateTest, ClockwiseOutlineGivesCounterClockwiseTriangles) {
    SimplePolygon p = polygonOf({{0, 3}, {1, 1}, {1, 3}, {4, 1}, {4, 0}, {0, 0}});
    for (bool boundary : {false, true}) {
        const Result r = triangulate(p, boundary);
        checkCommon(p, r, std::fabs(shoelaceArea(p.points)));
    }
}

TEST_F(TriangulateTest, AppendsToExistingEntriesWithIndicesFromZero) {
    const SimplePolygon p = regularPolygon(6, 1.0f);
    Result r;
    r.points = {{9, 9}, {8, 8}};
    r.sharp = {true, true};
    r.triangles = {0, 1, 0};
    ASSERT_TRUE(p.triangulate(r.points, r.sharp, r.triangles, true));
    EXPECT_EQ(r.points[0], vec2(9, 9));
    EXPECT_EQ(r.triangles[0], 0);
    ASSERT_EQ(r.points.size(), r.sharp.size());
    const std::size_t newPoints = r.points.size() - 2;
    for (std::size_t i = 0; i < p.points.size(); ++i) EXPECT_EQ(r.points[2 + i], p.points[i]);
    for (std::size_t k = 3; k < r.triangles.size(); ++k) {
        EXPECT_GE(r.triangles[k], 0);
        EXPECT_LT(std::size_t(r.triangles[k]), newPoints);
    }
}

TEST_F(TriangulateTest, CrossingOutlinesFollowTheEvenOddRule) {
    // A bow tie: two triangles of area 1 meeting at a crossing; the signed
    // area of the outline is 0.
    const SimplePolygon bowTie = polygonOf({{0, 0}, {2, 2}, {2, 0}, {0, 2}});
    for (bool boundary : {false, true}) {
        const Result r = triangulate(bowTie, boundary);
        checkCommon(bowTie, r, 2.0);
    }
    // A pentagram: its inner pentagon is crossed twice and stays empty.
    std::vector<vec2> star;
    for (int i = 0; i < 5; ++i) {
        const double t = kPi / 2 + 4 * kPi * i / 5;
        star.emplace_back(float(std::cos(t)), float(std::sin(t)));
    }
    const double inner = (3 - std::sqrt(5.0)) / 2;  // inner vertex radius
    const double tips = 5 * inner * std::sin(kPi / 5) - 2.5 * inner * inner * std::sin(2 * kPi / 5);
    const Result r = triangulate(polygonOf(star), true);
    checkCommon(polygonOf(star), r, tips);
}

TEST_F(TriangulateTest, RepeatedPointsAreKeptInTheOutput) {
    const SimplePolygon p = polygonOf({{0, 0}, {2, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}});
    const Result r = triangulate(p, true);
    checkCommon(p, r, 4.0);
}

TEST_F(TriangulateTest, OutlinesWithoutAreaAreRefused) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<std::vector<vec2>> bad = {
        {},
        {{0, 0}, {1, 1}},
        {{0, 0}, {1, 1}, {0, 0}, {1, 1}},
        {{0, 0}, {1, 1}, {2, 2}, {3, 3}},
        {{0, 0}, {1, 1}, {2, 2}, {1, 1}},
        {{1, 1}, {1, 1}, {1, 1}},
        {{0, 0}, {1, 0}, {nan, 1}},
        {{0, 0}, {inf, 0}, {0, 1}},
    };
    for (const auto& pts : bad) {
        for (bool boundary : {false, true}) {
            Result r;
            r.points = {{5, 5}};
            r.sharp = {true};
            r.triangles = {0, 0, 0};
            EXPECT_FALSE(polygonOf(pts).triangulate(r.points, r.sharp, r.triangles, boundary)) << pts.size();
            EXPECT_EQ(r.points.size(), 1u);
            EXPECT_EQ(r.sharp.size(), 1u);
            EXPECT_EQ(r.triangles.size(), 3u);
        }
    }
}

TEST_F(TriangulateTest, ShortSharpListReadsAsFalse) {
    SimplePolygon p = polygonOf({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    p.sharp = {true};
    Result r;
    ASSERT_TRUE(p.triangulate(r.points, r.sharp, r.triangles, false));
    EXPECT_TRUE(r.sharp[0]);
    EXPECT_FALSE(r.sharp[1]);
    EXPECT_FALSE(r.sharp[3]);
}

TEST_F(TriangulateTest, NoisyOutlineOfManyPoints) {
    std::vector<vec2> pts;
    const int n = 3000;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * kPi * i / n;
        const double rad = 10 + std::sin(7 * t) + 0.3 * std::sin(31 * t);
        pts.emplace_back(float(rad * std::cos(t)), float(rad * std::sin(t)));
    }
    const SimplePolygon p = polygonOf(pts);
    for (bool boundary : {false, true}) {
        const Result r = triangulate(p, boundary);
        checkCommon(p, r, shoelaceArea(pts));
        if (boundary) {
            EXPECT_GE(r.minAngleDegrees(), 20.7);
        }
    }
}

// --- Grid scan conversion ------------------------------------------------------

class ScanTest : public ::testing::Test {
protected:
    static unsigned char fill(int x, int y) { return SimplePolygon::Fill[std::size_t(SimplePolygon::W * y + x)]; }
    static dvec2 coords(int x, int y) { return SimplePolygon::Coords[std::size_t(SimplePolygon::W * y + x)]; }
};

TEST_F(ScanTest, AllocateGridResetsEverything) {
    SimplePolygon::allocateGrid(4, 3);
    SimplePolygon::Fill[5] = 2;
    SimplePolygon::Coords[5] = dvec2(1, 2);
    SimplePolygon::allocateGrid(5, 7);
    EXPECT_EQ(SimplePolygon::W, 5);
    EXPECT_EQ(SimplePolygon::H, 7);
    ASSERT_EQ(SimplePolygon::Fill.size(), 35u);
    ASSERT_EQ(SimplePolygon::Coords.size(), 35u);
    for (std::size_t i = 0; i < 35; ++i) {
        EXPECT_EQ(SimplePolygon::Fill[i], 0);
        EXPECT_EQ(SimplePolygon::Coords[i], dvec2(0, 0));
    }
    SimplePolygon::allocateGrid(-3, 4);
    EXPECT_EQ(SimplePolygon::W, 0);
    EXPECT_TRUE(SimplePolygon::Fill.empty());
}

TEST_F(ScanTest, SegmentCrossings) {
    SimplePolygon::Buffer.assign(6, {});
    SimplePolygon::segmentX({0.5, 2}, {7, 2});  // horizontal: no row crossing
    for (const auto& row : SimplePolygon::Buffer) EXPECT_TRUE(row.empty());
    SimplePolygon::segmentX({1, 0.5}, {3, 4.5});  // rows 1..4
    EXPECT_TRUE(SimplePolygon::Buffer[0].empty());
    ASSERT_EQ(SimplePolygon::Buffer[1].size(), 1u);
    EXPECT_DOUBLE_EQ(SimplePolygon::Buffer[1][0], 1.25);
    EXPECT_DOUBLE_EQ(SimplePolygon::Buffer[4][0], 2.75);
    EXPECT_TRUE(SimplePolygon::Buffer[5].empty());

    SimplePolygon::Buffer.assign(6, {});
    SimplePolygon::segmentY({2, 0}, {2, 5});  // vertical: no column crossing
    for (const auto& column : SimplePolygon::Buffer) EXPECT_TRUE(column.empty());
    // Ends exactly on a line count, and lines beyond the buffer are skipped.
    SimplePolygon::segmentY({1, 1}, {9, 5});
    ASSERT_EQ(SimplePolygon::Buffer[1].size(), 1u);
    EXPECT_DOUBLE_EQ(SimplePolygon::Buffer[1][0], 1.0);
    EXPECT_DOUBLE_EQ(SimplePolygon::Buffer[5][0], 3.0);
    SimplePolygon::segmentY({-1e300, 0}, {std::numeric_limits<double>::quiet_NaN(), 1});
    SimplePolygon::Buffer.clear();
}

TEST_F(ScanTest, FillXOfASquare) {
    SimplePolygon::allocateGrid(10, 10);
    SimplePolygon::fillX({{2.2, 2.5}, {6.7, 2.5}, {6.7, 6.5}, {2.2, 6.5}});
    EXPECT_TRUE(SimplePolygon::Buffer.empty());
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            if (y < 3 || y > 6 || x < 2 || x > 7) {
                EXPECT_EQ(fill(x, y), 0) << x << "," << y;
            } else if (x == 2 || x == 7) {
                EXPECT_EQ(fill(x, y), 2) << x << "," << y;
            } else {
                EXPECT_EQ(fill(x, y), 1) << x << "," << y;
                EXPECT_EQ(coords(x, y), dvec2(0, 0));
            }
        }
    }
    EXPECT_EQ(coords(2, 4), dvec2(2.2, 4));
    EXPECT_EQ(coords(7, 4), dvec2(6.7, 4));
}

TEST_F(ScanTest, FillYMarksByColumnsAndKeepsEarlierMarks) {
    SimplePolygon::allocateGrid(10, 10);
    const std::vector<dvec2> square = {{2.5, 2.2}, {6.5, 2.2}, {6.5, 6.7}, {2.5, 6.7}};
    SimplePolygon::fillY(square);
    EXPECT_EQ(fill(4, 2), 2);
    EXPECT_EQ(coords(4, 2), dvec2(4, 2.2));
    EXPECT_EQ(fill(4, 7), 2);
    EXPECT_EQ(coords(4, 7), dvec2(4, 6.7));
    EXPECT_EQ(fill(4, 5), 1);
    EXPECT_EQ(fill(2, 5), 0);  // column 2 lies left of the outline
    // Rows now only add: the recorded column crossings stay.
    SimplePolygon::fillX(square);
    EXPECT_EQ(coords(4, 2), dvec2(4, 2.2));
    EXPECT_EQ(fill(2, 5), 0);
    EXPECT_EQ(fill(3, 5), 2);  // the row crossing at 2.5 rounds up into column 3
    EXPECT_EQ(coords(3, 5), dvec2(2.5, 5));
    EXPECT_EQ(fill(6, 5), 2);  // and 6.5 rounds down into column 6
}

TEST_F(ScanTest, VertexOnARowAndOddCrossings) {
    // The apex (3, 2) lies on row 2: each of its edges adds a crossing
    // there, so the row holds one pair at the same place.
    SimplePolygon::allocateGrid(8, 8);
    SimplePolygon::fillX({{3, 2}, {6, 5.5}, {0.5, 5.5}});
    EXPECT_EQ(fill(3, 2), 2);
    EXPECT_EQ(coords(3, 2), dvec2(3, 2));
    EXPECT_EQ(fill(2, 2), 0);
    EXPECT_EQ(fill(4, 2), 0);

    // Row 1 gets three crossings (0, 2 and 4): only the pair (0, 2) fills.
    SimplePolygon::allocateGrid(8, 8);
    SimplePolygon::fillX({{0, 0}, {2, 1}, {4, 1}, {4, 3}, {0, 3}});
    EXPECT_EQ(fill(0, 1), 2);
    EXPECT_EQ(fill(1, 1), 1);
    EXPECT_EQ(fill(2, 1), 2);
    EXPECT_EQ(fill(3, 1), 0);
    EXPECT_EQ(fill(4, 1), 0);
}

TEST_F(ScanTest, OutlineBeyondTheGridIsClipped) {
    SimplePolygon::allocateGrid(6, 5);
    const std::vector<dvec2> big = {{-3.2, -2.5}, {9.6, -2.5}, {9.6, 8.5}, {-3.2, 8.5}};
    SimplePolygon::fillX(big);
    SimplePolygon::fillY(big);
    ASSERT_EQ(SimplePolygon::Fill.size(), 30u);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(fill(x, y), 1) << x << "," << y;

    // A crossing just past the last column is skipped; the run is clipped.
    SimplePolygon::allocateGrid(6, 5);
    SimplePolygon::fillX({{1.2, 0.5}, {5.6, 0.5}, {5.6, 3.5}, {1.2, 3.5}});
    EXPECT_EQ(fill(1, 2), 2);
    EXPECT_EQ(fill(5, 2), 1);
    // A grid whose sizes were changed behind its back is left alone.
    SimplePolygon::W = 100;
    SimplePolygon::fillX(big);
    SimplePolygon::allocateGrid(0, 0);
    SimplePolygon::fillY(big);
    EXPECT_TRUE(SimplePolygon::Fill.empty());
}

}  // namespace
