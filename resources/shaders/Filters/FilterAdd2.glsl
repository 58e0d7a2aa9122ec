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
// The sum of two images.
uniform sampler2D Image0;
uniform sampler2D Image1;
in vec2 xy;
out vec4 FragColor;
void main() {
    FragColor = texture(Image0, xy) + texture(Image1, xy);
}
