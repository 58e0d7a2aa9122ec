// Full-screen stage: the unit square mapped by the projection; its position
// is the texture coordinate.
layout(location = 0) in vec3 Position;
uniform mat4 ProjectionModelViewMatrix;
out vec2 xy;
void main() {
    xy = Position.xy;
    gl_Position = vec4(Position, 1.0) * ProjectionModelViewMatrix;
}
