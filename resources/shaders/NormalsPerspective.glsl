#include "Common/FullScreenPass.glsl"
// Normals from the neighbouring depths where the scene drew none
// (perspective): the slope is B / (A - depth) differenced across the pixel.
uniform sampler2D Depth;
uniform sampler2D Normal;
uniform vec2 delta;
uniform float A;
uniform float B;
in vec2 xy;
out vec4 FragColor;
void main() {
    if (texture(Normal, xy).xyz != vec3(0.0)) discard;
    vec2 d0 = A - vec2(texture(Depth, xy - vec2(delta.x, 0.0)).x, texture(Depth, xy - vec2(0.0, delta.y)).x);
    vec2 d1 = A - vec2(texture(Depth, xy + vec2(delta.x, 0.0)).x, texture(Depth, xy + vec2(0.0, delta.y)).x);
    FragColor = vec4(normalize(vec3(B / d1 - B / d0, 2.0)), 0.0);
}
