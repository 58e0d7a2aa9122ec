uniform uint ObjectId;
in vec4 vColor;
in vec4 vLight;
in vec3 vNormal;
flat in ivec2 vMaterial;
flat in uint vId;
#include "Common/SceneTargets.glsl"
void main() {
    // Roughness in the low and metalness in the high 16 bits, each offset
    // into 1..65534 so that 0 stays "no material".
    uvec2 pair = uvec2(clamp(vMaterial + ivec2(32767), ivec2(1), ivec2(65534)));
    _IdMaterial = uvec3(ObjectId, vId, pair.x | (pair.y << 16));
    _Color = vColor;
    _Light = vLight;
    _Normal = gl_FrontFacing ? vNormal : -vNormal;
}
