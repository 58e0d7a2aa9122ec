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
// The first image plus the sum of the mip levels 0 .. Levels-1 of the second.
uniform sampler2D Image0;
uniform sampler2D Image1;
uniform int Levels;
in vec2 xy;
out vec4 FragColor;
void main() {
    vec4 sum = texture(Image0, xy);
    for (int i = 0; i < Levels; ++i) sum += textureLod(Image1, xy, float(i));
    FragColor = sum;
}
