#include "Common/FullScreenPass.glsl"
// Object and part contours: a pixel next to another object, or next to a
// greater item (face, part) of its own, takes the contour colour; its
// opacity stays.
uniform usampler2D Id;
#include "Filters/ContourInputs.glsl"
void main() {
    vec4 colour = texture(Input, xy);
    uvec2 id = texture(Id, xy).xy;
    vec2 around[4] = vec2[4](vec2(-w, 0.0), vec2(0.0, -h), vec2(w, 0.0), vec2(0.0, h));
    bool contour = false;
    for (int k = 0; k < 4; ++k) {
        uvec2 other = texture(Id, xy + around[k]).xy;
        contour = contour || other.x != id.x || other.y > id.y;
    }
    FragColor = contour ? vec4(mix(colour.rgb, Contour.rgb, Contour.a), colour.a) : colour;
}
