#include "Common/FullScreenPass.glsl"
// Separable 9-tap blur along delta (three float channels).
#include "Filters/BlurInputs.glsl"
vec3 tap(vec2 p) { return texture(Image, p).xyz; }
vec3 pair(float k) { return tap(xy - k * delta) + tap(xy + k * delta); }
void main() {
    vec3 sum = 0.17 * tap(xy) + 0.155 * pair(1.0) + 0.12 * pair(2.0) + 0.09 * pair(3.0) + 0.05 * pair(4.0);
    FragColor = vec4(sum, 1.0);
}
