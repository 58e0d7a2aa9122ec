#pragma once
// Geometric tests on double vectors built on the exact predicates: orientation
// classes, segment and half-line crossing, point in triangle, point in circle
// and sphere, segment against triangle, and the crossing of a segment's line
// with a plane.
//
// In the crossing tests below a zero orientation counts as positive, so a
// point exactly on a line or plane is treated as lying on its positive side.

#include "core/vec.h"

namespace qel {

// Sets up the exact predicates' machine constants; call once at start-up.
void InitExactPredicates();

// Positive when a, b, c run counter-clockwise, negative when clockwise, zero
// when collinear; about twice the signed area.
double Orient2D(dvec2 a, dvec2 b, dvec2 c);
// Positive when d lies below the plane through a, b, c (counter-clockwise seen
// from above), zero when coplanar.
double Orient3D(dvec3 a, dvec3 b, dvec3 c, dvec3 d);
// Positive when d lies inside the circle through a, b, c (counter-clockwise;
// the sign flips for clockwise), zero when cocircular.
double InCircle(dvec2 a, dvec2 b, dvec2 c, dvec2 d);
// Positive when e lies inside the sphere through a, b, c, d when
// Orient3D(a, b, c, d) is positive (the sign flips otherwise).
double InSphere(dvec3 a, dvec3 b, dvec3 c, dvec3 d, dvec3 e);

// Orientation class of c against the line a-b: 0 clockwise, 1 collinear,
// 2 counter-clockwise. The exact value is rounded to float first, so a value
// below float range counts as collinear.
int OrientLine(dvec2 a, dvec2 b, dvec2 c);
// 0 when Orient3D(a, b, c, d) is negative, 1 when zero, 2 when positive.
int OrientPlane(dvec3 a, dvec3 b, dvec3 c, dvec3 d);

// 0 when p lies strictly inside the circle of that centre and radius, 1 on
// it, 2 outside.
int InCircleCenter(dvec2 p, dvec2 centre, double r);
// 0 when p lies strictly inside the sphere of that centre and radius, 1 on
// it, 2 outside.
int InSphereCenter(dvec3 p, dvec3 centre, double r);

// True when the half-line from p0 through p1 meets the closed segment s0-s1;
// a touching end counts. When all four points are collinear the result is
// true, whichever side of p0 the segment lies on.
bool HalfLineIntersectsSegment(dvec2 p0, dvec2 p1, dvec2 s0, dvec2 s1);
// True when segment a0-a1 crosses segment b0-b1. Collinear overlapping
// segments give false.
bool SegmentsIntersect(dvec2 a0, dvec2 a1, dvec2 b0, dvec2 b1);
// True when p lies in the closed triangle a, b, c of either orientation; for a
// collinear triangle, a point on its line within its bounding box.
bool InTriangle(dvec2 p, dvec2 a, dvec2 b, dvec2 c);

// True when the segment s0-s1 passes through the triangle a, b, c; then out
// receives the crossing point.
bool IntersectionTriangleSegment(dvec3 a, dvec3 b, dvec3 c, dvec3 s0, dvec3 s1, dvec3& out);
// The point where the line through s0 and s1 meets the plane through `point`
// with that normal: s0 + t (s1 - s0), t = normal.(s0 - point) / normal.(s0 - s1).
// A segment parallel to the plane (zero divisor) gives s0.
dvec3 CalculateIntersectionPlaneSegment(dvec3 point, dvec3 normal, dvec3 s0, dvec3 s1);

}  // namespace qel
