#include "Common/FullScreenPass.glsl"
// The transparent layer over the opaque image. The transparent normal bends
// the view of what lies behind by f = |n.xy|^4 times the refraction strength
// (the light's alpha), and a grazing surface turns opaque.
uniform sampler2D OpaqueColor;
#include "Common/TransparentLayer.glsl"
in vec2 xy;
out vec4 FragColor;
void main() {
    #include "Common/Refraction.glsl"
    vec3 behind = texture(OpaqueColor, xy - offset).rgb;
    FragColor = vec4(mix(behind, glass.rgb, opacity), opacity);
}
