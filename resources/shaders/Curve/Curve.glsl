##VERTEX
#version 330 core
// Curves and feature lines: flat-coloured GL_LINES. In a scene pass the
// lines write the four targets of a layer (identifier, colour, light,
// normal); the feature pass masks all but the material channel and the
// colour.
#include "Common/PositionOnly.glsl"
##FRAGMENT
#version 330 core
uniform vec4 Color;
uniform uint ObjectId;
uniform uint ItemId;
#include "Common/SceneTargets.glsl"
void main() {
    // No material and no normal: lines are not lit.
    _IdMaterial = uvec3(ObjectId, ItemId, 0u);
    _Color = Color;
    _Light = vec4(0.0);
    _Normal = vec3(0.0);
}
