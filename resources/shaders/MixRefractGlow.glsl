#include "Common/FullScreenPass.glsl"
// The transparent layer over the opaque image, as MixRefract; the second
// output carries the light behind, seen through the same bend and dimmed by
// the opacity, plus the transparent layer's own light.
uniform sampler2D OpaqueColor;
uniform sampler2D OpaqueLight;
#include "Common/TransparentLayer.glsl"
in vec2 xy;
layout(location = 0) out vec4 FragColor;
layout(location = 1) out vec4 Glow;
void main() {
    #include "Common/RefractionGlow.glsl"
    vec3 behind = texture(OpaqueColor, xy - offset).rgb;
    FragColor = vec4(mix(behind, glass.rgb, opacity), opacity);
    Glow = texture(OpaqueLight, xy - offset) * (1.0 - opacity) + light;
}
