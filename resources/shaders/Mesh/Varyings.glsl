out vec4 vColor;
out vec4 vLight;
out vec3 vNormal;
flat out ivec2 vMaterial;
flat out uint vId;
