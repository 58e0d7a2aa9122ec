uniform sampler2D Image;
uniform vec2 delta;
in vec2 xy;
out vec4 FragColor;
