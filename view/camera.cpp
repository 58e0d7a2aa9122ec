#include "view/camera.h"

namespace qel {

mat4 Camera::matrix() const {
    mat4 r = mat4::FromMat3(orientation);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) r.at(row, col) *= scale;
    return mat4::Translation(position) * r;
}

mat4 Camera::matrixUnscaled() const {
    mat4 c = matrix();
    const float k = 1.0f / scale;
    for (int i = 0; i < 12; ++i) c.m[i] *= k;
    return c;
}

}  // namespace qel
