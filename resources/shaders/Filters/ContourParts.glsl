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
// Object and part contours: a pixel next to another object, or next to a
// greater item (face, part) of its own, takes the contour colour; its
// opacity stays.
uniform usampler2D Id;
uniform sampler2D Input;
uniform float w;
uniform float h;
uniform vec4 Contour;
in vec2 xy;
out vec4 FragColor;
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
