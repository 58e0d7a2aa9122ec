##VERTEX
#version 330 core
// Clay pass: every stamp moves the points within its radius by its
// displacement, weighted by the smooth falloff.
#include "Mesh/ClayStamps.glsl"
uniform vec3 displacement[20];
uniform float radius;
void main() {
    #include "Mesh/ClayPoint.glsl"
    float radius2 = radius * radius;
    for (int i = 0; i < min(count, 20); ++i) {
        vec3 d = p - center[i];
        float r = dot(d, d) / radius2;
        if (r < 1.0) deform += displacement[i] * (r * (2.0 * sqrt(r) - 3.0) + 1.0);
    }
    position1 = p + deform;
}
