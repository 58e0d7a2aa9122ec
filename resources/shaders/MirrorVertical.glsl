#include "Common/FullScreenPass.glsl"
// The image flipped vertically.
uniform sampler2D Image;
in vec2 xy;
out vec4 FragColor;
void main() {
    FragColor = texture(Image, vec2(xy.x, 1.0 - xy.y));
}
