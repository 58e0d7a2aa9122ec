uniform vec4 ObjectColor;
uniform vec4 ObjectLight;
uniform ivec2 ObjectMaterial;
uniform uint ObjectId;
uniform uint ItemId;
uniform uint ColorLight;
in vec2 vTextureCoordinates;
flat in vec3 vNormal;
#include "Common/SceneTargets.glsl"
