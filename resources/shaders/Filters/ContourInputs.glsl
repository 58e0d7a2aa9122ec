#include "Filters/ContourUniforms.glsl"
in vec2 xy;
out vec4 FragColor;
