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
// Per channel, the texel blended with the texel magnified about the centre.
uniform sampler2D Image;
uniform vec2 center;
uniform float scale;
uniform vec4 chroma;
in vec2 xy;
out vec4 FragColor;
void main() {
    vec2 xy1 = center + (xy - center) * scale;
    FragColor = mix(texture(Image, xy), texture(Image, xy1), chroma);
}
