#include "Common/FullScreenPass.glsl"
// Object and part contours with the selection shown: a selected pixel is
// tinted by "SelectionColor"; an object contour becomes opaque and takes
// "SelectionContour" where it touches a selected pixel; a part contour keeps
// the opacity and the plain contour colour.
uniform usampler2D Id;
#include "Filters/SelectionInputs.glsl"
void main() {
    vec4 colour = texture(Input, xy);
    uvec2 id = texture(Id, xy).xy;
    bool selected = (id.x & Selected) != 0u;
    vec3 rgb = selected ? mix(colour.rgb, SelectionColor.rgb, SelectionColor.a) : colour.rgb;
    vec2 around[4] = vec2[4](vec2(-w, 0.0), vec2(0.0, -h), vec2(w, 0.0), vec2(0.0, h));
    bool object = false;
    bool part = false;
    bool touched = selected;
    for (int k = 0; k < 4; ++k) {
        uvec2 other = texture(Id, xy + around[k]).xy;
        object = object || other.x != id.x;
        part = part || other.y > id.y;
        touched = touched || (other.x & Selected) != 0u;
    }
    vec4 line = touched ? SelectionContour : Contour;
    if (object)
        FragColor = vec4(mix(rgb, line.rgb, line.a), 1.0);
    else if (part)
        FragColor = vec4(mix(rgb, Contour.rgb, Contour.a), colour.a);
    else
        FragColor = vec4(rgb, colour.a);
}
