##VERTEX
#version 330 core
// Clay pass: every point in front of a plane is moved onto it, at any
// distance.
#include "Mesh/ClayStamps.glsl"
uniform vec3 normal[20];
void main() {
    #include "Mesh/ClayPoint.glsl"
    for (int i = 0; i < min(count, 20); ++i) {
        float h = dot(p - center[i], normal[i]);
        if (h > 0.0) deform -= h * normal[i];
    }
    position1 = p + deform;
}
