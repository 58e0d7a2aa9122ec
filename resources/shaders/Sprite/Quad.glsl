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
