#include "Filters/StampPass.glsl"
// Distance stamp: the squared distance from the texel centre to the cell
// centre, or the field's value when smaller. The viewport spans the grid, so
// gl_FragCoord.xy is the texel centre in grid coordinates.
#include "Filters/StampInputs.glsl"
out vec4 FragColor;
void main() {
    vec2 d = gl_FragCoord.xy - Center;
    float old = texture(OldDepth, gl_FragCoord.xy * WH).x;
    FragColor = vec4(min(dot(d, d), old), 0.0, 0.0, 1.0);
}
