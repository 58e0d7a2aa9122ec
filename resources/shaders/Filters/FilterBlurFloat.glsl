#include "Common/FullScreenPass.glsl"
// Separable 9-tap blur along delta (one float channel).
#include "Filters/BlurInputs.glsl"
float tap(vec2 p) { return texture(Image, p).x; }
float pair(float k) { return tap(xy - k * delta) + tap(xy + k * delta); }
void main() {
    float sum = 0.17 * tap(xy) + 0.155 * pair(1.0) + 0.12 * pair(2.0) + 0.09 * pair(3.0) + 0.05 * pair(4.0);
    FragColor = vec4(sum, 0.0, 0.0, 1.0);
}
