##VERTEX
#version 330 core
// Clay pass: points within each stamp's radius move towards its centre
// (positive intensity) or away from it (negative).
#include "Mesh/ClayStamps.glsl"
uniform float intensity;
uniform float radius2;
void main() {
    #include "Mesh/ClayPoint.glsl"
    for (int i = 0; i < min(count, 20); ++i) {
        vec3 d = center[i] - p;
        float r = dot(d, d) / radius2;
        if (r < 1.0) deform += intensity * (r * (2.0 * sqrt(r) - 3.0) + 1.0) * d;
    }
    position1 = p + deform;
}
