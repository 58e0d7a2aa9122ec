##VERTEX
#version 330 core
// Full-screen stage: the unit square mapped by the projection; its position
// is the texture coordinate.
layout(location = 0) in vec3 Position;
uniform mat4 ProjectionModelViewMatrix;
out vec2 xy;
void main() {
    xy = Position.xy;
    gl_Position = vec4(Position, 1.0) * ProjectionModelViewMatrix;
}
##FRAGMENT
#version 330 core
// Object contours across both layers (as ContourMix) with the selection
// shown: a selected pixel (bit 31 of its object id) is tinted by
// "SelectionColor", and a contour touching a selected pixel takes
// "SelectionContour".
uniform usampler2D TransparentId;
uniform usampler2D OpaqueId;
uniform sampler2D Input;
uniform float w;
uniform float h;
uniform vec4 Contour;
uniform vec4 SelectionColor;
uniform vec4 SelectionContour;
in vec2 xy;
out vec4 FragColor;
const uint Selected = 0x80000000u;
uint objectAt(vec2 p) {
    uint id = texture(TransparentId, p).x;
    return id != 0u ? id : texture(OpaqueId, p).x;
}
void main() {
    vec4 colour = texture(Input, xy);
    uint id = objectAt(xy);
    bool selected = (id & Selected) != 0u;
    vec3 rgb = selected ? mix(colour.rgb, SelectionColor.rgb, SelectionColor.a) : colour.rgb;
    vec2 around[4] = vec2[4](vec2(-w, 0.0), vec2(0.0, -h), vec2(w, 0.0), vec2(0.0, h));
    bool contour = false;
    bool touched = selected;
    for (int k = 0; k < 4; ++k) {
        vec2 p = xy + around[k];
        uint other = objectAt(p);
        contour = contour || (other != id && texture(Input, p).a != 0.0);
        touched = touched || (other & Selected) != 0u;
    }
    vec4 line = touched ? SelectionContour : Contour;
    if (contour && colour.a != 0.0)
        FragColor = vec4(mix(rgb, line.rgb, line.a), 1.0);
    else
        FragColor = vec4(rgb, colour.a);
}
