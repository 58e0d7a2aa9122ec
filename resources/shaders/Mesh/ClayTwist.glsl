##VERTEX
#version 330 core
// Clay pass: points within each stamp's radius turn about the line through
// its centre along its axis; cosA holds cos(angle) - 1, so the sum is the
// falloff times the move of the full turn.
#include "Mesh/ClayStamps.glsl"
uniform vec3 axis[20];
uniform float cosA;
uniform float sinA;
uniform float radius2;
void main() {
    #include "Mesh/ClayPoint.glsl"
    for (int i = 0; i < min(count, 20); ++i) {
        vec3 q = p - center[i];
        float r = dot(q, q) / radius2;
        if (r < 1.0) {
            vec3 n = axis[i];
            vec3 x = q - dot(q, n) * n;
            deform += (r * (2.0 * sqrt(r) - 3.0) + 1.0) * (x * cosA + cross(n, x) * sinA);
        }
    }
    position1 = p + deform;
}
