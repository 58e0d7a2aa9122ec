##VERTEX
#version 330 core
// Scene pass of animated sprites: one frame (a depth layer at Time) of an
// animated image on the unit quad, written to the layer's identifier,
// colour, light and normal targets. Texels with alpha below one half are cut
// out; there is no blending.
layout(location = 0) in vec3 Position;
uniform mat4 ProjectionModelViewMatrix;
uniform mat3 NormalMatrix;
out vec2 vTextureCoordinates;
flat out vec3 vNormal;
void main() {
    // Images are stored top row first: the quad's top edge samples row 0.
    vTextureCoordinates = vec2(Position.x, 1.0 - Position.y);
    // The quad's +Z axis in view space.
    vNormal = normalize(vec3(0.0, 0.0, 1.0) * NormalMatrix);
    gl_Position = vec4(Position, 1.0) * ProjectionModelViewMatrix;
}
##FRAGMENT
#version 330 core
uniform sampler3D Sprite;
uniform float Time;
uniform vec4 ObjectColor;
uniform vec4 ObjectLight;
uniform ivec2 ObjectMaterial;
uniform uint ObjectId;
uniform uint ItemId;
uniform uint ColorLight;
in vec2 vTextureCoordinates;
flat in vec3 vNormal;
layout(location = 0) out uvec3 _IdMaterial;
layout(location = 1) out vec4 _Color;
layout(location = 2) out vec4 _Light;
layout(location = 3) out vec3 _Normal;
void main() {
    vec4 T = texture(Sprite, vec3(vTextureCoordinates, Time));
    if (T.a < 0.5) discard;
    vec4 c = ObjectColor * T;
    if (c == vec4(0.0)) discard;
    // Roughness in the low and metalness in the high 16 bits, each offset
    // into 1..65534 so that 0 stays "no material".
    uvec2 pair = uvec2(clamp(ObjectMaterial + ivec2(32767), ivec2(1), ivec2(65534)));
    _IdMaterial = uvec3(ObjectId, ItemId, pair.x | (pair.y << 16));
    _Color = c;
    // An object whose colour is light emits the image.
    _Light = ColorLight != 0u ? ObjectLight : ObjectLight * T;
    _Normal = gl_FrontFacing ? vNormal : -vNormal;
}
