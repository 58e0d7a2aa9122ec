#include "Common/FullScreenPass.glsl"
// The colour blended towards the fog colour with depth.
uniform sampler2D Color;
uniform sampler2D Depth;
uniform vec4 Fog;
uniform float near;
uniform float range;
in vec2 xy;
out vec4 FragColor;
void main() {
    vec4 c = texture(Color, xy);
    float t = clamp((texture(Depth, xy).x - near) / range, 0.0, 1.0);
    FragColor = vec4(mix(c.rgb, Fog.rgb, t * Fog.a), c.a);
}
