#include "Common/FullScreenPass.glsl"
// The transparent layer over the opaque image with the bend split by colour
// (as MixRefractChroma) and the light behind carried to the second output
// through the same split bend (as MixRefractGlow).
uniform sampler2D OpaqueColor;
uniform sampler2D OpaqueLight;
#include "Common/TransparentLayer.glsl"
uniform float scale;
uniform vec4 chroma;
in vec2 xy;
layout(location = 0) out vec4 FragColor;
layout(location = 1) out vec4 Glow;
void main() {
    #include "Common/RefractionGlow.glsl"
    vec2 near = xy - offset, far = xy - scale * offset;
    vec4 behind = mix(texture(OpaqueColor, near), texture(OpaqueColor, far), chroma);
    FragColor = vec4(mix(behind.rgb, glass.rgb, opacity), opacity);
    Glow = mix(texture(OpaqueLight, near), texture(OpaqueLight, far), chroma) * (1.0 - opacity) + light;
}
