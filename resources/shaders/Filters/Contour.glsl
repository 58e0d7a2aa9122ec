#include "Common/FullScreenPass.glsl"
// Object contours: a visible pixel next to a visible pixel of another object
// (left, below, right or above) takes the contour colour and full opacity.
uniform usampler2D Id;
#include "Filters/ContourInputs.glsl"
void main() {
    vec4 colour = texture(Input, xy);
    uint id = texture(Id, xy).x;
    vec2 around[4] = vec2[4](vec2(-w, 0.0), vec2(0.0, -h), vec2(w, 0.0), vec2(0.0, h));
    bool contour = false;
    for (int k = 0; k < 4; ++k) {
        vec2 p = xy + around[k];
        contour = contour || (texture(Id, p).x != id && texture(Input, p).a != 0.0);
    }
    if (contour && colour.a != 0.0)
        FragColor = vec4(mix(colour.rgb, Contour.rgb, Contour.a), 1.0);
    else
        FragColor = colour;
}
