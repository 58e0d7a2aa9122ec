#include "view/sky.h"

#include <algorithm>
#include <cmath>

namespace qel {

vec3 skyLevel(int blur, int levels) {
    const float x = 4.0f + float(blur) * float(levels - 4) / 100.0f;
    const float l0 = std::floor(x);
    return vec3(l0, std::min(l0 + 1.0f, float(levels)), x - l0);
}

float skyLens(bool perspective, float fov) {
    const double degrees = perspective ? double(fov) : 10.0;
    return float(1.0 / std::tan(degrees * 3.14159265358979323846 / 360.0));
}

mat3 skyRotation(const mat3& orientation, const mat3& environment, bool rotated) {
    return rotated ? orientation * environment : environment;
}

}  // namespace qel
