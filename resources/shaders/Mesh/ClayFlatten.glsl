##VERTEX
#version 330 core
// Clay pass: points above each stamp's plane and within its radius move
// towards the plane, fully inside 0.7 of the radius and fading out beyond.
#include "Mesh/ClayStamps.glsl"
uniform vec3 normal[20];
uniform float intensity;
uniform float radius2;
void main() {
    #include "Mesh/ClayPoint.glsl"
    for (int i = 0; i < min(count, 20); ++i) {
        vec3 q = p - center[i];
        float r = length(q) / sqrt(radius2);
        float h = dot(q, normal[i]);
        if (h > 0.0 && r < 1.0) {
            float w = 1.0;
            if (r >= 0.7) {
                float s = (r - 0.7) / 0.3;
                w = s * s * (2.0 * s - 3.0) + 1.0;
            }
            deform -= intensity * w * h * normal[i];
        }
    }
    position1 = p + deform;
}
