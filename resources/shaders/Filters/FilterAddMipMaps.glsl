#include "Common/FullScreenPass.glsl"
// The sum of the mip levels 0 .. Levels-1 of one image.
uniform sampler2D Image0;
uniform int Levels;
in vec2 xy;
out vec4 FragColor;
void main() {
    vec4 sum = vec4(0.0);
    for (int i = 0; i < Levels; ++i) sum += textureLod(Image0, xy, float(i));
    FragColor = sum;
}
