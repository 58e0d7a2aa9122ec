##VERTEX
#version 330 core
// Flat-colour drawing of segments, circles and point markers.
#include "Common/PositionOnly.glsl"
##FRAGMENT
#version 330 core
uniform vec4 color;
out vec4 FragColor;
void main() {
    FragColor = color;
}
