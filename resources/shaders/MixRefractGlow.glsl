##VERTEX
#version 330 core
// Full-screen stage: the unit square mapped by the projection; its position
// is the texture coordinate.
layout(location = 0) in vec3 Position;
uniform mat4 ProjectionModelViewMatrix;
out vec2 xy;
void main() {
    xy = Position.xy;
    gl_Position = vec4(Position, 1.0) * ProjectionModelViewMatrix;
}
##FRAGMENT
#version 330 core
// The transparent layer over the opaque image, as MixRefract; the second
// output carries the light behind, seen through the same bend and dimmed by
// the opacity, plus the transparent layer's own light.
uniform sampler2D OpaqueColor;
uniform sampler2D OpaqueLight;
uniform sampler2D TransparentColor;
uniform sampler2D TransparentLight;
uniform sampler2D TransparentNormal;
uniform vec2 wh;
in vec2 xy;
layout(location = 0) out vec4 FragColor;
layout(location = 1) out vec4 Glow;
void main() {
    vec4 glass = texture(TransparentColor, xy);
    vec4 light = texture(TransparentLight, xy);
    vec2 n = texture(TransparentNormal, xy).xy;
    float f = dot(n, n) * dot(n, n);
    bool seen = glass.a != 0.0;
    vec2 offset = seen ? light.a * f * wh * n : vec2(0.0);
    float opacity = seen ? mix(glass.a, 1.0, f * f) : 0.0;
    vec3 behind = texture(OpaqueColor, xy - offset).rgb;
    FragColor = vec4(mix(behind, glass.rgb, opacity), opacity);
    Glow = texture(OpaqueLight, xy - offset) * (1.0 - opacity) + light;
}
