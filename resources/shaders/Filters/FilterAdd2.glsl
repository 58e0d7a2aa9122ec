#include "Common/FullScreenPass.glsl"
// The sum of two images.
uniform sampler2D Image0;
uniform sampler2D Image1;
in vec2 xy;
out vec4 FragColor;
void main() {
    FragColor = texture(Image0, xy) + texture(Image1, xy);
}
