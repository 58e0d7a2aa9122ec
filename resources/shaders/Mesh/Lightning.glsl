##VERTEX
#version 330 core
// Scene pass of a lightning bolt: the shared thin tube along x from 0 to 1,
// its cross-section shrunk to the bolt's thickness and every vertex moved by
// octaves of the noise texture scrolling with time, then carried by
// Transform (which pins the bent ends) into the element's frame. Written to
// the layer's identifier, colour, light and normal targets like a mesh.
layout(location = 0) in vec3 Position;
layout(location = 1) in vec3 Normal;
layout(location = 2) in vec4 Color;
layout(location = 3) in vec4 Light;
layout(location = 4) in ivec2 Material;
layout(location = 5) in uint id;
uniform mat4 ProjectionModelViewMatrix;
uniform mat3 NormalMatrix;
uniform mat4 Transform;
uniform vec4 ObjectColor;
uniform vec4 ObjectLight;
uniform ivec2 ObjectMaterial;
uniform uint ItemId;
uniform sampler2D Noise;
uniform vec2 Amplitude;
uniform vec2 Scale;
uniform vec2 Phase;
uniform float Time;
uniform int Octaves;
out vec4 vColor;
out vec4 vLight;
out vec3 vNormal;
flat out ivec2 vMaterial;
flat out uint vId;
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
