#include "Common/FullScreenPass.glsl"
// A fixed light for simple rendering: the back side gets a third of its
// light, and every lit pixel keeps a fifth of its colour as ambient light.
// Pixels without material pass unchanged.
uniform usampler2D IdMaterial;
uniform sampler2D Color;
uniform sampler2D Normal;
uniform vec3 LightDirection;
in vec2 xy;
out vec4 FragColor;
void main() {
    vec4 colour = texture(Color, xy);
    if (texture(IdMaterial, xy).z == 0u) {
        FragColor = colour;
        return;
    }
    vec3 N = texture(Normal, xy).xyz;
    float p = dot(N, N) > 0.0 ? dot(normalize(N), LightDirection) : 0.0;
    if (p < 0.0) p = -p / 3.0;
    FragColor = vec4(mix(p, 1.0, 0.2) * colour.rgb, colour.a);
}
