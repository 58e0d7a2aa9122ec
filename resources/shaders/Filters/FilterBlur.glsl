#include "Common/FullScreenPass.glsl"
// Separable 9-tap blur along delta (four channels).
#include "Filters/BlurInputs.glsl"
vec4 tap(vec2 p) { return texture(Image, p); }
vec4 pair(float k) { return tap(xy - k * delta) + tap(xy + k * delta); }
void main() {
    vec4 sum = 0.17 * tap(xy) + 0.155 * pair(1.0) + 0.12 * pair(2.0) + 0.09 * pair(3.0) + 0.05 * pair(4.0);
    FragColor = sum;
}
