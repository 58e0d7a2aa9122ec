##VERTEX
#version 330 core
// Scene pass of clay: positions only; one colour, light and material for
// the whole object.
layout(location = 0) in vec3 Position;
uniform mat4 ProjectionModelViewMatrix;
void main() {
    gl_Position = vec4(Position, 1.0) * ProjectionModelViewMatrix;
}
##FRAGMENT
#version 330 core
uniform uint ObjectId;
uniform uint ItemId;
uniform vec4 ObjectColor;
uniform vec4 ObjectLight;
uniform ivec2 ObjectMaterial;
layout(location = 0) out uvec3 _IdMaterial;
layout(location = 1) out vec4 _Color;
layout(location = 2) out vec4 _Light;
layout(location = 3) out vec3 _Normal;
void main() {
    // Roughness in the low and metalness in the high 16 bits, each offset
    // into 1..65534 so that 0 stays "no material".
    uvec2 m = uvec2(clamp(ObjectMaterial + ivec2(32767), ivec2(1), ivec2(65534)));
    _IdMaterial = uvec3(ObjectId, ItemId, (m.y << 16) | m.x);
    _Color = ObjectColor;
    _Light = ObjectLight;
    _Normal = vec3(0.0);
}
