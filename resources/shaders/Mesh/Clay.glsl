##VERTEX
#version 330 core
// Scene pass of clay: positions only; one colour, light and material for
// the whole object.
#include "Common/PositionOnly.glsl"
##FRAGMENT
#version 330 core
uniform uint ObjectId;
uniform uint ItemId;
uniform vec4 ObjectColor;
uniform vec4 ObjectLight;
uniform ivec2 ObjectMaterial;
#include "Common/SceneTargets.glsl"
void main() {
    // Roughness in the low and metalness in the high 16 bits, each offset
    // into 1..65534 so that 0 stays "no material".
    uvec2 m = uvec2(clamp(ObjectMaterial + ivec2(32767), ivec2(1), ivec2(65534)));
    _IdMaterial = uvec3(ObjectId, ItemId, (m.y << 16) | m.x);
    _Color = ObjectColor;
    _Light = ObjectLight;
    _Normal = vec3(0.0);
}
