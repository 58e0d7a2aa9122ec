#include "Common/FullScreenPass.glsl"
// Normals from the depth slope where the scene drew none (orthographic).
uniform sampler2D Depth;
uniform sampler2D Normal;
uniform float dz;
in vec2 xy;
out vec4 FragColor;
void main() {
    if (texture(Normal, xy).xyz != vec3(0.0)) discard;
    float d = texture(Depth, xy).x;
    FragColor = vec4(normalize(vec3(dFdx(d), dFdy(d), dz)), 0.0);
}
