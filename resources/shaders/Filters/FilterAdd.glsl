#include "Common/FullScreenPass.glsl"
// The image plus a constant.
uniform sampler2D Image;
uniform vec4 value;
in vec2 xy;
out vec4 FragColor;
void main() {
    FragColor = texture(Image, xy) + value;
}
