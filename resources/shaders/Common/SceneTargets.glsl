layout(location = 0) out uvec3 _IdMaterial;
layout(location = 1) out vec4 _Color;
layout(location = 2) out vec4 _Light;
layout(location = 3) out vec3 _Normal;
