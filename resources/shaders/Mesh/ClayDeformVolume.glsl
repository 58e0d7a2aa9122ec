##VERTEX
#version 330 core
// Clay pass: a volume-keeping push along each stamp's step direction f[2],
// with the swirl of its cross axes f[0] and f[1], scaled by the step length.
#include "Mesh/ClayStamps.glsl"
uniform mat3 frame[20];
uniform float weight;
uniform float radius2;
void main() {
    #include "Mesh/ClayPoint.glsl"
    for (int i = 0; i < min(count, 20); ++i) {
        vec3 x = p - center[i];
        float t2 = dot(x, x) / radius2;
        if (t2 < 1.0) {
            float t = sqrt(t2);
            float alpha = 1.0 - t * t * t * (4.0 - 3.0 * t);
            float beta = 12.0 * (t - t2) / radius2;
            mat3 f = frame[i];
            vec3 u = f[0];
            vec3 v = f[1];
            vec3 d = f[2];
            deform += alpha * (alpha * d + beta * (dot(x, v) * cross(x, u) - dot(x, u) * cross(x, v)));
        }
    }
    position1 = p + weight * deform;
}
