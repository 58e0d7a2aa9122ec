##VERTEX
#version 330 core
// Scene pass of animated sprites: one frame (a depth layer at Time) of an
// animated image on the unit quad, written to the layer's identifier,
// colour, light and normal targets. Texels with alpha below one half are cut
// out; there is no blending.
#include "Sprite/Quad.glsl"
##FRAGMENT
#version 330 core
uniform sampler3D Sprite;
uniform float Time;
#include "Sprite/Inputs.glsl"
void main() {
    vec4 T = texture(Sprite, vec3(vTextureCoordinates, Time));
    #include "Sprite/Shade.glsl"
}
