#pragma once
// qel::Camera, the view's camera: a rotation from world to view axes, a zoom
// factor and the pan position of the world origin in view space (view units:
// pixels at the focus depth). View space looks along -z with x to the right
// and y down the screen.

#include <cstdint>

#include "core/mat.h"
#include "core/vec.h"

namespace qel {

class Camera {
public:
    vec3 position{0, 0, 0};
    mat3 orientation;                // world axes to view axes
    float scale = 1.0f;              // zoom factor
    std::uint8_t animateCamera = 1;  // camera animation switch; nothing reads it

    // C = Translation(position) x FromMat3(orientation) x diag(scale, scale,
    // scale, 1).
    mat4 matrix() const;
    // C with its first three rows divided by scale: the rotation with the
    // translation position / scale.
    mat4 matrixUnscaled() const;
};

}  // namespace qel
