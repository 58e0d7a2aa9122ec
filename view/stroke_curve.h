#pragma once
// The drawn curve built from the samples of a drawing: the closed
// two-point shapes (flat loop, cubic bow, circle), the general polyline
// with cubic fills before curved-segment points and circular fills along
// runs of arc points, and the two circle constructions those fills use.
//
// Sample kinds: 0 free ("f"), 1 sharp corner ("s"), 2 arc point ("a"),
// 3 curved-segment point ("b").

#include <vector>

#include "core/vec.h"
#include "scene/gesture.h"

namespace qel {

// The circle through three points. For collinear (or coincident) points
// the radius is 0, the centre the origin, the axis zero and the two
// vectors are A - B and C - B.
struct CircleThrough {
    vec3 centre{0, 0, 0};
    float radius = 0.0f;
    vec3 toA{0, 0, 0};   // unit vector from the centre towards A
    vec3 toC{0, 0, 0};   // unit vector from the centre towards C
    vec3 axis{0, 0, 0};  // unit normal of the plane; A, B, C run counter-clockwise around it
    bool collinear() const { return radius == 0.0f; }
};
CircleThrough circleThrough(const vec3& a, const vec3& b, const vec3& c);

// The circle through P and Q that is tangent to the direction T at P.
// found is false when T is zero, P and Q coincide or T points along Q - P:
// no circle, the segment is straight.
struct TangentCircle {
    bool found = false;
    vec3 centre{0, 0, 0};
    float radius = 0.0f;
    vec3 endDirection{0, 0, 0};  // unit direction of travel at Q, same sense as T at P
};
TangentCircle tangentCircle(const vec3& p, const vec3& t, const vec3& q);

// The four parallel output lists of a drawn curve. The general
// construction leaves the normals alone; the closed two-point shapes give
// one normal per vertex.
struct CurveLists {
    std::vector<vec3>& points;
    std::vector<vec3>& normals;
    std::vector<float>& radii;
    std::vector<bool>& sharp;
};

// Appends the curve of the samples to the lists. With closed set the curve
// runs on from the last sample back to the first (without repeating it),
// and two samples give one of the closed two-point shapes.
void appendStrokeCurve(const std::vector<SBrush>& samples, bool closed, CurveLists& out);

}  // namespace qel
