##VERTEX
#version 330 core
// Scene pass of meshes, tubes and revolutons: per-corner attributes combined
// with the object's material, written to the layer's identifier, colour,
// light and normal targets.
#include "Mesh/Attributes.glsl"
#include "Mesh/ObjectUniforms.glsl"
#include "Mesh/Varyings.glsl"
void main() {
    gl_Position = vec4(Position, 1.0) * ProjectionModelViewMatrix;
    vec3 n = Normal * NormalMatrix;
    // A zero normal stays zero: the layer keeps "no normal" for the later
    // normal reconstruction.
    #include "Mesh/SetVaryings.glsl"
}
##FRAGMENT
#version 330 core
#include "Mesh/Fragment.glsl"
