uniform sampler2D Input;
uniform float w;
uniform float h;
uniform vec4 Contour;
