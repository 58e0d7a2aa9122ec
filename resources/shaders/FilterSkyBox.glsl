##VERTEX
#version 330 core
// One face of a cube-map filter pass: the unit square becomes the face's
// plane z = -1 and "rotation" turns each point into the direction of the
// texel drawn there.
layout(location = 0) in vec3 Position;
uniform mat4 ProjectionModelViewMatrix;
uniform mat4 rotation;
out vec3 direction;
void main() {
    vec4 p = vec4(2.0 * Position.xy - 1.0, -1.0, 1.0);
    direction = (p * rotation).xyz;
    gl_Position = p * ProjectionModelViewMatrix;
}
##FRAGMENT
#version 330 core
// Half the source at the texel's own direction plus half the mean of a ring
// of six directions around it. "samples" holds the ring's centre first, then
// the ring; the set is rotated so that its centre falls on the texel.
uniform samplerCube box;
uniform vec3 samples[7];
in vec3 direction;
out vec4 FragColor;
void main() {
    vec3 e = normalize(direction);
    // A set centred on the far side is taken through the origin first (the
    // same ring of six around the opposite centre), so that the rotation
    // below never turns by nearly half a circle, where it degenerates.
    float side = dot(samples[0], e) < 0.0 ? -1.0 : 1.0;
    vec3 s = side * samples[0];
    vec3 v = cross(s, e);
    float c = dot(s, e);
    float k = 1.0 / (1.0 + c);
    vec3 ring = vec3(0.0);
    for (int i = 1; i < 7; ++i) {
        vec3 d = side * samples[i];
        ring += texture(box, d * c + cross(v, d) + v * (dot(v, d) * k)).rgb;
    }
    FragColor = vec4(0.5 * texture(box, e).rgb + ring / 12.0, 1.0);
}
