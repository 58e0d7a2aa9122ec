#pragma once
// The matrix that brings an element's normals into eye space for the
// row-vector products of the surface shaders.

#include "core/mat.h"

namespace qel {

// The eye rotation (the 3x3 block of Shader::ModelViewMatrix) times the
// inverse transpose of M's 3x3 block. Cofactors over |det| keep the sign
// positive for a mirroring M, whose triangles then face away and get their
// normal negated by the fragment stage: normals stay outward. A singular M
// (an object flattened to a plane or a line) keeps the bare cofactors, which
// still give the normal of the flattened shape instead of dividing by zero;
// the shaders normalise.
mat3 normalMatrix(const mat4& M);

}  // namespace qel
