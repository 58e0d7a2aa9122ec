#include "Common/FullScreenPass.glsl"
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
