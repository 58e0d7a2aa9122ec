##VERTEX
#version 330 core
// Scene pass of a lightning bolt: the shared thin tube along x from 0 to 1,
// its cross-section shrunk to the bolt's thickness and every vertex moved by
// octaves of the noise texture scrolling with time, then carried by
// Transform (which pins the bent ends) into the element's frame. Written to
// the layer's identifier, colour, light and normal targets like a mesh.
#include "Mesh/Attributes.glsl"
uniform mat4 Transform;
#include "Mesh/ObjectUniforms.glsl"
uniform sampler2D Noise;
uniform vec2 Amplitude;
uniform vec2 Scale;
uniform vec2 Phase;
uniform float Time;
uniform int Octaves;
#include "Mesh/Varyings.glsl"
void main() {
    vec3 p = vec3(Position.x, Position.yz * Amplitude.y);
    vec2 q = Scale * vec2(Position.x, Time) + Phase;
    vec3 delta = vec3(0.0);
    float s = 1.0;
    // The processor clamps the count; the bound keeps the loop finite anyway.
    for (int i = 0; i < min(Octaves, 16); ++i) {
        delta += s * texture(Noise, q / s).rgb;
        s *= 0.5;
    }
    p += Amplitude.x * delta;
    gl_Position = vec4(p, 1.0) * Transform * ProjectionModelViewMatrix;
    vec3 n = Normal * NormalMatrix;
    #include "Mesh/SetVaryings.glsl"
}
##FRAGMENT
#version 330 core
#include "Mesh/Fragment.glsl"
