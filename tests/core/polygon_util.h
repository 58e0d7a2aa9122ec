#pragma once
// Outlines and triangle checks shared by the polygon tests.

#include "core/simple_polygon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace polytest {

constexpr double kPi = 3.14159265358979323846;

inline qel::SimplePolygon polygonOf(const std::vector<qel::vec2>& points, bool sharp = false) {
    qel::SimplePolygon p;
    p.points = points;
    p.sharp.assign(points.size(), sharp);
    return p;
}

inline qel::SimplePolygon regularPolygon(int n, float radius) {
    std::vector<qel::vec2> pts;
    for (int i = 0; i < n; ++i)
        pts.emplace_back(float(radius * std::cos(2 * kPi * i / n)), float(radius * std::sin(2 * kPi * i / n)));
    return polygonOf(pts);
}

// Signed area of triangle t (x and y of points of any vector type).
template <class V>
double signedArea(const std::vector<V>& pts, const std::vector<int>& tris, std::size_t t) {
    const V a = pts[std::size_t(tris[3 * t])], b = pts[std::size_t(tris[3 * t + 1])],
            c = pts[std::size_t(tris[3 * t + 2])];
    return 0.5 * ((double(b.x) - a.x) * (double(c.y) - a.y) - (double(b.y) - a.y) * (double(c.x) - a.x));
}

// Every index inside the points, no clockwise triangle (flat ones allowed
// when `allowFlat`); returns the total area.
template <class V>
double checkTriangles(const std::vector<V>& pts, const std::vector<int>& tris, bool allowFlat) {
    EXPECT_EQ(tris.size() % 3, 0u);
    for (int i : tris) {
        EXPECT_GE(i, 0);
        EXPECT_LT(std::size_t(i), pts.size());
        if (i < 0 || std::size_t(i) >= pts.size()) return 0.0;
    }
    double total = 0.0;
    for (std::size_t t = 0; t < tris.size() / 3; ++t) {
        const double a = signedArea(pts, tris, t);
        EXPECT_TRUE(allowFlat ? a >= 0.0 : a > 0.0) << "triangle " << t << " area " << a;
        total += a;
    }
    return total;
}

// The output of SimplePolygon::triangulateU and its result.
struct Inflated {
    std::vector<qel::vec3> points;
    std::vector<bool> sharp;
    std::vector<int> triangles;
    int result = 0;
    // Checks the indices and the winding (three rim points on one straight
    // side may give a flat triangle); returns the area.
    double area() const { return checkTriangles(points, triangles, true); }
    float top() const {
        float z = 0.0f;
        for (const qel::vec3& p : points) z = std::max(z, p.z);
        return z;
    }
};

inline Inflated inflate(const qel::SimplePolygon& p, unsigned char profile, float resolution,
                        qel::SimplePolygon::HeightField field = nullptr) {
    Inflated g;
    g.result = p.triangulateU(g.points, g.sharp, g.triangles, profile, resolution, field);
    EXPECT_EQ(g.points.size(), g.sharp.size());
    return g;
}

}  // namespace polytest
