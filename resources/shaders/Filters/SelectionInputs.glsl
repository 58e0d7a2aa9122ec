#include "Filters/ContourUniforms.glsl"
uniform vec4 SelectionColor;
uniform vec4 SelectionContour;
in vec2 xy;
out vec4 FragColor;
const uint Selected = 0x80000000u;
