##VERTEX
#version 330 core
// Clay pass: every point in front of a plane is moved onto it, at any
// distance.
layout(location = 0) in vec3 position0;
out vec3 position1;
uniform int count;
uniform vec3 center[20];
uniform vec3 normal[20];
void main() {
    vec3 p = position0;
    vec3 deform = vec3(0.0);
    for (int i = 0; i < min(count, 20); ++i) {
        float h = dot(p - center[i], normal[i]);
        if (h > 0.0) deform -= h * normal[i];
    }
    position1 = p + deform;
}
