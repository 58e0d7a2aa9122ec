#include "Common/FullScreenPass.glsl"
// Darkens the pixels where the normal turns or the depth steps towards the
// right or upper neighbour: creases fade in up to a squared normal change
// of 0.3, depth edges between steps of 15 and 20 "dz".
uniform sampler2D Depth;
uniform sampler2D Normal;
uniform sampler2D Color;
uniform float dz;
uniform float w;
uniform float h;
uniform vec4 Contour;
in vec2 xy;
out vec4 FragColor;
vec3 unit(vec3 v) { return dot(v, v) > 0.0 ? normalize(v) : v; }
void main() {
    vec2 right = xy + vec2(w, 0.0);
    vec2 up = xy + vec2(0.0, h);
    vec3 N = unit(texture(Normal, xy).xyz);
    vec3 n = max(abs(unit(texture(Normal, right).xyz) - N), abs(unit(texture(Normal, up).xyz) - N));
    float c = 1.0 - smoothstep(0.0, 0.3, dot(n, n));
    float D = texture(Depth, xy).x;
    float d = max(abs(texture(Depth, right).x - D), abs(texture(Depth, up).x - D));
    c *= 1.0 - smoothstep(15.0 * dz, 20.0 * dz, d);
    vec4 colour = texture(Color, xy);
    FragColor = vec4(mix(mix(colour.rgb, Contour.rgb, Contour.a), colour.rgb, c), colour.a);
}
