#include "Common/FullScreenPass.glsl"
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
