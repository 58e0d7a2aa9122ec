##VERTEX
#version 330 core
// Clay pass: every stamp moves the points within its radius by its
// displacement, weighted by the smooth falloff.
layout(location = 0) in vec3 position0;
out vec3 position1;
uniform int count;
uniform vec3 center[20];
uniform vec3 displacement[20];
uniform float radius;
void main() {
    vec3 p = position0;
    vec3 deform = vec3(0.0);
    float radius2 = radius * radius;
    for (int i = 0; i < min(count, 20); ++i) {
        vec3 d = p - center[i];
        float r = dot(d, d) / radius2;
        if (r < 1.0) deform += displacement[i] * (r * (2.0 * sqrt(r) - 3.0) + 1.0);
    }
    position1 = p + deform;
}
