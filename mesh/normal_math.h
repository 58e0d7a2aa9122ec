#pragma once
// The two formulas every normal pass of qel::Mesh shares, so that a pass
// over part of the mesh writes the very bits the whole-mesh pass writes.
//
// Normalising: squares summed in double; above 1e-20 the square root is
// taken in double, rounded to float, and the components are divided by it
// in single precision; otherwise the vector is left as it is.

#include <cmath>

#include "core/vec.h"

namespace qel {

inline vec3 normaliseCorner(const vec3& a) {
    const double s = double(a.x) * a.x + double(a.y) * a.y + double(a.z) * a.z;
    if (s <= NormalizeEpsilon) return a;
    const float l = float(std::sqrt(s));
    return {a.x / l, a.y / l, a.z / l};
}

// Unit normal of the triangle (p0, p1, p2), computed in double; a degenerate
// triangle keeps its (tiny) cross product.
inline vec3 triangleNormal(const vec3& p0, const vec3& p1, const vec3& p2) {
    const dvec3 a(double(p1.x) - p0.x, double(p1.y) - p0.y, double(p1.z) - p0.z);
    const dvec3 b(double(p2.x) - p0.x, double(p2.y) - p0.y, double(p2.z) - p0.z);
    const dvec3 n = cross(a, b);
    const double l2 = dot(n, n);
    if (l2 <= NormalizeEpsilon) return vec3(n);
    const double inv = 1.0 / std::sqrt(l2);
    return vec3(float(n.x * inv), float(n.y * inv), float(n.z * inv));
}

}  // namespace qel
