##VERTEX
#version 400 core
// The sky behind the scene: the eye ray through each pixel, turned from view
// into environment directions.
layout(location = 0) in vec3 Position;
uniform mat4 ProjectionModelViewMatrix;
uniform mat3 Rotation;
uniform float Lens;
out vec3 direction;
void main() {
    direction = vec3(2.0 * Position.xy - 1.0, -Lens) * Rotation;
    gl_Position = vec4(Position, 1.0) * ProjectionModelViewMatrix;
}
##FRAGMENT
#version 400 core
// Two layers of the prefiltered environment, mixed by the blur fraction:
// "level" holds the two layers and the fraction.
uniform samplerCubeArray sky;
uniform vec3 level;
in vec3 direction;
out vec4 FragColor;
void main() {
    vec3 a = texture(sky, vec4(direction, level.x)).rgb;
    vec3 b = texture(sky, vec4(direction, level.y)).rgb;
    FragColor = vec4(mix(a, b, level.z), 1.0);
}
