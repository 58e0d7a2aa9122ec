// Geometric tests on double vectors: thin layers over the exact predicates.

#include "core/geometry.h"

#include <array>
#include <cmath>

#include "core/predicates.h"

namespace qel {

namespace {

// Sign with zero counted as positive.
bool positive(double v) { return !(v < 0.0); }

// Orientation class: 0 negative, 1 zero, 2 positive.
int signClass(double v) { return v < 0.0 ? 0 : (v > 0.0 ? 2 : 1); }

bool allSameSide(double o1, double o2, double o3) {
    return (o1 >= 0.0 && o2 >= 0.0 && o3 >= 0.0) || (o1 <= 0.0 && o2 <= 0.0 && o3 <= 0.0);
}

// The predicates read each point as an array of coordinates (p[0], p[1],
// p[2]). A vector's members are separate objects, so a pointer to its x
// reaches only x: each point is handed over as a real array instead, which
// the optimiser may not take for a lone value.
std::array<double, 2> coords(const dvec2& v) { return {v.x, v.y}; }
std::array<double, 3> coords(const dvec3& v) { return {v.x, v.y, v.z}; }

}  // namespace

void InitExactPredicates() { exact::exactinit(); }

double Orient2D(dvec2 a, dvec2 b, dvec2 c) {
    const auto pa = coords(a), pb = coords(b), pc = coords(c);
    return exact::orient2d(pa.data(), pb.data(), pc.data());
}

double Orient3D(dvec3 a, dvec3 b, dvec3 c, dvec3 d) {
    const auto pa = coords(a), pb = coords(b), pc = coords(c), pd = coords(d);
    return exact::orient3d(pa.data(), pb.data(), pc.data(), pd.data());
}

double InCircle(dvec2 a, dvec2 b, dvec2 c, dvec2 d) {
    const auto pa = coords(a), pb = coords(b), pc = coords(c), pd = coords(d);
    return exact::incircle(pa.data(), pb.data(), pc.data(), pd.data());
}

double InSphere(dvec3 a, dvec3 b, dvec3 c, dvec3 d, dvec3 e) {
    const auto pa = coords(a), pb = coords(b), pc = coords(c), pd = coords(d), pe = coords(e);
    return exact::insphere(pa.data(), pb.data(), pc.data(), pd.data(), pe.data());
}

int OrientLine(dvec2 a, dvec2 b, dvec2 c) { return signClass(double(float(Orient2D(a, b, c)))); }

int OrientPlane(dvec3 a, dvec3 b, dvec3 c, dvec3 d) { return signClass(Orient3D(a, b, c, d)); }

int InCircleCenter(dvec2 p, dvec2 centre, double r) {
    // The circle through three of its points, counter-clockwise; p taken
    // first, so that a negative value means inside.
    const double v = InCircle(p, centre - dvec2(r, 0), centre + dvec2(r, 0), centre + dvec2(0, r));
    return signClass(v);
}

int InSphereCenter(dvec3 p, dvec3 centre, double r) {
    const double v = InSphere(p, centre - dvec3(r, 0, 0), centre + dvec3(r, 0, 0), centre + dvec3(0, r, 0),
                              centre + dvec3(0, 0, r));
    return signClass(v);
}

bool HalfLineIntersectsSegment(dvec2 p0, dvec2 p1, dvec2 s0, dvec2 s1) {
    const double o1 = Orient2D(s0, p0, p1);
    const double o2 = Orient2D(s1, p1, p0);
    const double o3 = Orient2D(p0, s1, s0);
    return allSameSide(o1, o2, o3);
}

bool SegmentsIntersect(dvec2 a0, dvec2 a1, dvec2 b0, dvec2 b1) {
    if (positive(Orient2D(a0, b0, b1)) == positive(Orient2D(a1, b0, b1))) return false;
    return positive(Orient2D(b0, a0, a1)) != positive(Orient2D(b1, a0, a1));
}

bool InTriangle(dvec2 p, dvec2 a, dvec2 b, dvec2 c) {
    if ((a.x > p.x && b.x > p.x && c.x > p.x) || (a.x < p.x && b.x < p.x && c.x < p.x)) return false;
    if ((a.y > p.y && b.y > p.y && c.y > p.y) || (a.y < p.y && b.y < p.y && c.y < p.y)) return false;
    return allSameSide(Orient2D(p, a, b), Orient2D(p, b, c), Orient2D(p, c, a));
}

bool IntersectionTriangleSegment(dvec3 a, dvec3 b, dvec3 c, dvec3 s0, dvec3 s1, dvec3& out) {
    if (positive(Orient3D(s0, a, b, c)) == positive(Orient3D(s1, a, b, c))) return false;
    const bool t1 = positive(Orient3D(s0, a, b, s1));
    const bool t2 = positive(Orient3D(s0, b, c, s1));
    const bool t3 = positive(Orient3D(s0, c, a, s1));
    if (t1 != t2 || t2 != t3) return false;

    const dvec3 bl = b - a, cl = c - a, s0l = s0 - a, s1l = s1 - a;
    // The plane's normal from the edge vectors rounded to float, the products
    // and sums in double.
    const dvec3 bf(static_cast<vec3>(bl)), cf(static_cast<vec3>(cl));
    const dvec3 d = s0l - s1l;
    dvec3 n = cross(bf, cf);
    double t = dot(n, s0l) / dot(n, d);
    if (!std::isfinite(t)) {
        // The rounded normal vanished (a sliver triangle) or lies in the
        // segment's direction; the unrounded one settles the crossing.
        n = cross(bl, cl);
        t = dot(n, s0l) / dot(n, d);
        if (!std::isfinite(t)) t = 0.0;
    }
    out = s1l * t + s0l * (1.0 - t) + a;
    return true;
}

dvec3 CalculateIntersectionPlaneSegment(dvec3 point, dvec3 normal, dvec3 s0, dvec3 s1) {
    const double den = dot(normal, s0 - s1);
    if (den == 0.0) return s0;
    const double t = dot(normal, s0 - point) / den;
    return s0 + (s1 - s0) * t;
}

}  // namespace qel
