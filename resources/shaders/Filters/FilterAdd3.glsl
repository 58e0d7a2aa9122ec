#include "Common/FullScreenPass.glsl"
// The sum of three images.
uniform sampler2D Image0;
uniform sampler2D Image1;
uniform sampler2D Image2;
in vec2 xy;
out vec4 FragColor;
void main() {
    FragColor = texture(Image0, xy) + texture(Image1, xy) + texture(Image2, xy);
}
