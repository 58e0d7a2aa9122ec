##VERTEX
#version 330 core
// Scene pass of meshes, tubes and revolutons: per-corner attributes combined
// with the object's material, written to the layer's identifier, colour,
// light and normal targets.
layout(location = 0) in vec3 Position;
layout(location = 1) in vec3 Normal;
layout(location = 2) in vec4 Color;
layout(location = 3) in vec4 Light;
layout(location = 4) in ivec2 Material;
layout(location = 5) in uint id;
uniform mat4 ProjectionModelViewMatrix;
uniform mat3 NormalMatrix;
uniform vec4 ObjectColor;
uniform vec4 ObjectLight;
uniform ivec2 ObjectMaterial;
uniform uint ItemId;
out vec4 vColor;
out vec4 vLight;
out vec3 vNormal;
flat out ivec2 vMaterial;
flat out uint vId;
void main() {
    gl_Position = vec4(Position, 1.0) * ProjectionModelViewMatrix;
    vec3 n = Normal * NormalMatrix;
    // A zero normal stays zero: the layer keeps "no normal" for the later
    // normal reconstruction.
    vNormal = dot(n, n) > 1e-20 ? normalize(n) : vec3(0.0);
    vColor = ObjectColor * Color;
    vLight = vec4(ObjectLight.rgb + Light.rgb, ObjectLight.a * Light.a);
    vMaterial = ObjectMaterial + Material;
    vId = ItemId == 0xffffffffu ? id : ItemId;
}
##FRAGMENT
#version 330 core
uniform uint ObjectId;
in vec4 vColor;
in vec4 vLight;
in vec3 vNormal;
flat in ivec2 vMaterial;
flat in uint vId;
layout(location = 0) out uvec3 _IdMaterial;
layout(location = 1) out vec4 _Color;
layout(location = 2) out vec4 _Light;
layout(location = 3) out vec3 _Normal;
void main() {
    // Roughness in the low and metalness in the high 16 bits, each offset
    // into 1..65534 so that 0 stays "no material".
    uvec2 pair = uvec2(clamp(vMaterial + ivec2(32767), ivec2(1), ivec2(65534)));
    _IdMaterial = uvec3(ObjectId, vId, pair.x | (pair.y << 16));
    _Color = vColor;
    _Light = vLight;
    _Normal = gl_FrontFacing ? vNormal : -vNormal;
}
