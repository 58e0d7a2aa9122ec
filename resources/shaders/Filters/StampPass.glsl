##VERTEX
#version 330 core
// Stamp of one grid cell: the unit square brought by Transform onto a square
// around the cell, in grid coordinates (x in [0, W], y in [0, H]).
layout(location = 0) in vec3 Position;
uniform mat4 ProjectionModelViewMatrix;
uniform mat4 Transform;
void main() {
    vec4 p = vec4(Position, 1.0) * Transform;
    gl_Position = p * ProjectionModelViewMatrix;
}
##FRAGMENT
#version 330 core
