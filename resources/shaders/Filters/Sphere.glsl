#include "Filters/StampPass.glsl"
// Ball stamp: the squared height R2 - d^2 of the ball of squared radius R2
// around the cell centre, or the field's value when larger.
#include "Filters/StampInputs.glsl"
uniform float R2;
out vec4 FragColor;
void main() {
    vec2 d = gl_FragCoord.xy - Center;
    float old = texture(OldDepth, gl_FragCoord.xy * WH).x;
    FragColor = vec4(max(R2 - dot(d, d), old), 0.0, 0.0, 1.0);
}
