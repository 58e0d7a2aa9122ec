##VERTEX
#version 330 core
// Curves and feature lines: flat-coloured GL_LINES. In a scene pass the
// lines write the four targets of a layer (identifier, colour, light,
// normal); the feature pass masks all but the material channel and the
// colour.
layout(location = 0) in vec3 Position;
uniform mat4 ProjectionModelViewMatrix;
void main() {
    gl_Position = vec4(Position, 1.0) * ProjectionModelViewMatrix;
}
##FRAGMENT
#version 330 core
uniform vec4 Color;
uniform uint ObjectId;
uniform uint ItemId;
layout(location = 0) out uvec3 _IdMaterial;
layout(location = 1) out vec4 _Color;
layout(location = 2) out vec4 _Light;
layout(location = 3) out vec3 _Normal;
void main() {
    // No material and no normal: lines are not lit.
    _IdMaterial = uvec3(ObjectId, ItemId, 0u);
    _Color = Color;
    _Light = vec4(0.0);
    _Normal = vec3(0.0);
}
