##VERTEX
#version 330 core
// One glyph: the unit square placed at "offset" with size "scale" (both in
// units of the viewport) and textured with the cell at "texoffset" of size
// "texscale".
layout(location = 0) in vec3 Position;
uniform mat4 ProjectionModelViewMatrix;
uniform vec2 offset;
uniform vec2 scale;
uniform vec2 texoffset;
uniform vec2 texscale;
out vec2 uv;
void main() {
    uv = texoffset + texscale * Position.xy;
    gl_Position = vec4(offset + scale * Position.xy, 0.0, 1.0) * ProjectionModelViewMatrix;
}
##FRAGMENT
#version 330 core
// Ink (red not 0) in the text colour; background is left untouched. The
// glyph texel is fetched whole so that no filtering blurs ink into the
// background around it.
uniform sampler2D Image;
uniform vec4 color;
in vec2 uv;
out vec4 FragColor;
void main() {
    ivec2 size = textureSize(Image, 0);
    ivec2 texel = clamp(ivec2(floor(uv * vec2(size))), ivec2(0), size - 1);
    if (texelFetch(Image, texel, 0).r == 0.0) discard;
    FragColor = color;
}
