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
// Separable 9-tap blur along delta (one float channel).
uniform sampler2D Image;
uniform vec2 delta;
in vec2 xy;
out vec4 FragColor;
float tap(vec2 p) { return texture(Image, p).x; }
float pair(float k) { return tap(xy - k * delta) + tap(xy + k * delta); }
void main() {
    float sum = 0.17 * tap(xy) + 0.155 * pair(1.0) + 0.12 * pair(2.0) + 0.09 * pair(3.0) + 0.05 * pair(4.0);
    FragColor = vec4(sum, 0.0, 0.0, 1.0);
}
