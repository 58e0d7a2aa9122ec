#include "Common/FullScreenPass.glsl"
// The transparent layer over the opaque image, as MixRefract, with the bend
// split by colour: each channel mixes, by "chroma", the view bent by the
// offset with the view bent "scale" times as far.
uniform sampler2D OpaqueColor;
#include "Common/TransparentLayer.glsl"
uniform float scale;
uniform vec4 chroma;
in vec2 xy;
out vec4 FragColor;
void main() {
    #include "Common/Refraction.glsl"
    vec4 behind = mix(texture(OpaqueColor, xy - offset), texture(OpaqueColor, xy - scale * offset), chroma);
    FragColor = vec4(mix(behind.rgb, glass.rgb, opacity), opacity);
}
