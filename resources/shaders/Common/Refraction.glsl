    vec4 glass = texture(TransparentColor, xy);
    vec2 n = texture(TransparentNormal, xy).xy;
    float f = dot(n, n) * dot(n, n);
    bool seen = glass.a != 0.0;
    vec2 offset = seen ? texture(TransparentLight, xy).a * f * wh * n : vec2(0.0);
    float opacity = seen ? mix(glass.a, 1.0, f * f) : 0.0;
