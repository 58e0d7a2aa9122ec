uniform sampler2D TransparentColor;
uniform sampler2D TransparentLight;
uniform sampler2D TransparentNormal;
uniform vec2 wh;
