layout(location = 0) in vec3 Position;
layout(location = 1) in vec3 Normal;
layout(location = 2) in vec4 Color;
layout(location = 3) in vec4 Light;
layout(location = 4) in ivec2 Material;
layout(location = 5) in uint id;
uniform mat4 ProjectionModelViewMatrix;
uniform mat3 NormalMatrix;
