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
// Chamfer stamp: inside the ball of squared radius R2 around the cell
// centre, R2 on the inner 70 % of the radius and a quarter-circle falling to
// 0.7 R2 at the rim; or the field's value when larger. Texels outside the
// ball (and balls of radius 0) leave the field unchanged.
uniform sampler2D OldDepth;
uniform vec2 WH;
uniform vec2 Center;
uniform float R2;
out vec4 FragColor;
void main() {
    if (R2 <= 0.0) discard;
    vec2 d = gl_FragCoord.xy - Center;
    float t = sqrt(dot(d, d) / R2) - 0.7;
    if (t > 0.3) discard;
    float h = R2 * (t < 0.0 ? 1.0 : 0.7 + sqrt(max(0.09 - t * t, 0.0)));
    float old = texture(OldDepth, gl_FragCoord.xy * WH).x;
    FragColor = vec4(max(h, old), 0.0, 0.0, 1.0);
}
