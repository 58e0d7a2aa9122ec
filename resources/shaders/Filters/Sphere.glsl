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
// Ball stamp: the squared height R2 - d^2 of the ball of squared radius R2
// around the cell centre, or the field's value when larger.
uniform sampler2D OldDepth;
uniform vec2 WH;
uniform vec2 Center;
uniform float R2;
out vec4 FragColor;
void main() {
    vec2 d = gl_FragCoord.xy - Center;
    float old = texture(OldDepth, gl_FragCoord.xy * WH).x;
    FragColor = vec4(max(R2 - dot(d, d), old), 0.0, 0.0, 1.0);
}
