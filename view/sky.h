#pragma once
// The view's sky and image-based light, as plain arithmetic: which layers of
// the environment's cube-map array the sky shows, the lens of its eye rays
// and the turn from view directions into environment directions.

#include "core/mat.h"
#include "core/vec.h"

namespace qel {

// (l0, l1, f): the sky mixes layers l0 and l1 of the environment by f. The
// blur (0..100) runs from layers 4 and 5 to the last layer index `levels`,
// one past the array, which the sampler clamps to its most blurred layer.
vec3 skyLevel(int blur, int levels);

// 1 / tan(a / 2): the depth of the eye rays' plane, with a the field of view
// in degrees in perspective and a fixed 10 degrees in the orthogonal view.
float skyLens(bool perspective, float fov);

// Camera orientation x environment matrix while the sky turns with the
// camera, else the environment matrix alone. The shaders take it transposed,
// as a row vector's right factor: direction x rotation.
mat3 skyRotation(const mat3& orientation, const mat3& environment, bool rotated);

}  // namespace qel
