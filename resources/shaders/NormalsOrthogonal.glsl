##VERTEX
#version 330 core
// Full-screen stage: the unit square mapped by the projection; its position
// is the texture coordinate.
layout(location = 0) in vec3 Position;
uniform mat4 ProjectionModelViewMatrix;
out vec2 xy;
void main() {
    xy = Position.xy;
    gl_Position = vec4(Position, 1.0) * ProjectionModelViewMatrix;
}
##FRAGMENT
#version 330 core
// Normals from the depth slope where the scene drew none (orthographic).
uniform sampler2D Depth;
uniform sampler2D Normal;
uniform float dz;
in vec2 xy;
out vec4 FragColor;
void main() {
    if (texture(Normal, xy).xyz != vec3(0.0)) discard;
    float d = texture(Depth, xy).x;
    FragColor = vec4(normalize(vec3(dFdx(d), dFdy(d), dz)), 0.0);
}
