##VERTEX
#version 330 core
// Clay pass: points within each stamp's radius move towards its centre
// (positive intensity) or away from it (negative).
layout(location = 0) in vec3 position0;
out vec3 position1;
uniform int count;
uniform vec3 center[20];
uniform float intensity;
uniform float radius2;
void main() {
    vec3 p = position0;
    vec3 deform = vec3(0.0);
    for (int i = 0; i < min(count, 20); ++i) {
        vec3 d = center[i] - p;
        float r = dot(d, d) / radius2;
        if (r < 1.0) deform += intensity * (r * (2.0 * sqrt(r) - 3.0) + 1.0) * d;
    }
    position1 = p + deform;
}
