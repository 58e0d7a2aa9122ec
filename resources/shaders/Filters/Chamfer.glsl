#include "Filters/StampPass.glsl"
// Chamfer stamp: inside the ball of squared radius R2 around the cell
// centre, R2 on the inner 70 % of the radius and a quarter-circle falling to
// 0.7 R2 at the rim; or the field's value when larger. Texels outside the
// ball (and balls of radius 0) leave the field unchanged.
#include "Filters/StampInputs.glsl"
uniform float R2;
out vec4 FragColor;
void main() {
    if (R2 <= 0.0) discard;
    vec2 d = gl_FragCoord.xy - Center;
    float t = sqrt(dot(d, d) / R2) - 0.7;
    if (t > 0.3) discard;
    float h = R2 * (t < 0.0 ? 1.0 : 0.7 + sqrt(max(0.09 - t * t, 0.0)));
    float old = texture(OldDepth, gl_FragCoord.xy * WH).x;
    FragColor = vec4(max(h, old), 0.0, 0.0, 1.0);
}
