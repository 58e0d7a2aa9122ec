#include "Common/FullScreenPass.glsl"
// Object contours with the selection shown: a selected pixel (bit 31 of its
// object id) is tinted by "SelectionColor", and a contour touching a
// selected pixel takes "SelectionContour".
uniform usampler2D Id;
#include "Filters/SelectionInputs.glsl"
void main() {
    vec4 colour = texture(Input, xy);
    uint id = texture(Id, xy).x;
    #include "Filters/SelectionStart.glsl"
    for (int k = 0; k < 4; ++k) {
        vec2 p = xy + around[k];
        uint other = texture(Id, p).x;
        contour = contour || (other != id && texture(Input, p).a != 0.0);
        touched = touched || (other & Selected) != 0u;
    }
    #include "Filters/SelectionShade.glsl"
}
