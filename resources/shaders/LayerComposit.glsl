##VERTEX
#version 400 core
#include "Common/FullScreenQuad.glsl"
##FRAGMENT
#version 400 core
// Image-based light of a layer. The material channel holds roughness in the
// low and metalness in the high 16 bits, each as 1..65534 (0: no material,
// the colour passes unchanged). Metal reflects the environment tinted by its
// colour; plastic takes the diffuse light (the last, most blurred layer)
// plus a highlight that sharpens as the surface gets smoother.
uniform samplerCubeArray sky;
uniform int levels;
uniform mat3 rotation;
uniform usampler2D IdMaterial;
uniform sampler2D Color;
uniform sampler2D Normal;
in vec2 xy;
out vec4 FragColor;
void main() {
    vec4 colour = texture(Color, xy);
    uint material = texture(IdMaterial, xy).z;
    if (material == 0u) {
        FragColor = colour;
        return;
    }
    float r = float(material & 0xFFFFu) / 65534.0;
    float m = float(material >> 16) / 65534.0;
    vec3 N = texture(Normal, xy).xyz;
    N = dot(N, N) > 0.0 ? normalize(N) : N;
    vec3 mirrorDirection = reflect(vec3(0.0, 0.0, -1.0), N) * rotation;
    vec3 n = N * rotation;
    vec3 direction = mix(mirrorDirection, n, r);
    float level = r * float(levels);
    float l0 = floor(level);
    vec3 mirror = mix(texture(sky, vec4(direction, l0)).rgb, texture(sky, vec4(direction, l0 + 1.0)).rgb,
                      level - l0);
    vec3 diffuse = texture(sky, vec4(n, float(levels))).rgb;
    vec3 metal = colour.rgb * mirror;
    vec3 plastic = colour.rgb * diffuse + pow(mirror, vec3(10.0 - 5.0 * r));
    FragColor = vec4(mix(plastic, metal, m), colour.a);
}
