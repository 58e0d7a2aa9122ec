#include "Common/FullScreenPass.glsl"
// The texel where every component reaches the threshold, else transparent black.
uniform sampler2D Image;
uniform vec4 value;
in vec2 xy;
out vec4 FragColor;
void main() {
    vec4 c = texture(Image, xy);
    FragColor = all(greaterThanEqual(c, value)) ? c : vec4(0.0);
}
