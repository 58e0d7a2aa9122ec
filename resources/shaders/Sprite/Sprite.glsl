##VERTEX
#version 330 core
// Scene pass of sprites: an image on the unit quad, written to the layer's identifier,
// colour, light and normal targets. Texels with alpha below one half are cut
// out; there is no blending.
#include "Sprite/Quad.glsl"
##FRAGMENT
#version 330 core
uniform sampler2D Sprite;
#include "Sprite/Inputs.glsl"
void main() {
    vec4 T = texture(Sprite, vTextureCoordinates);
    #include "Sprite/Shade.glsl"
}
