##VERTEX
#version 330 core
// Flat-colour drawing of segments, circles and point markers.
layout(location = 0) in vec3 Position;
uniform mat4 ProjectionModelViewMatrix;
void main() {
    gl_Position = vec4(Position, 1.0) * ProjectionModelViewMatrix;
}
##FRAGMENT
#version 330 core
uniform vec4 color;
out vec4 FragColor;
void main() {
    FragColor = color;
}
