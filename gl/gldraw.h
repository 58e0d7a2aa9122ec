#pragma once
// Overlay drawing with the flat-colour program: segments, circles and square
// point markers, each through a given matrix in a given colour.

#include "core/mat.h"
#include "core/vec.h"

namespace qel {

// The unit segment (0,0,0)-(1,0,0) with the current program and uniforms;
// with the flag set the square's buffer is disabled afterwards.
bool GLDrawSegment(bool disable);
// The unit segment through M.
bool GLDrawSegment(const mat4& M, const bvec4& colour);
// The segment from a to b through M.
bool GLDrawSegment(const vec3& a, const vec3& b, const mat4& M, const bvec4& colour);
// The unit circle through M.
bool GLDrawCircle(const mat4& M, const bvec4& colour);
// A circle of radius r around the centre in the plane across the normal.
bool GLDrawCircle(float r, const vec3& normal, const vec3& centre, const mat4& M, const bvec4& colour);
// The square [-1, 1]^2 through M, filled.
bool GLPoint(const mat4& M, const bvec4& colour);
// A filled square of half-width size centred on the position, facing along
// the normal.
bool GLPoint(float size, const vec3& normal, const vec3& position, const mat4& M, const bvec4& colour);

}  // namespace qel
