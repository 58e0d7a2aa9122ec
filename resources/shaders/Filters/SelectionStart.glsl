    bool selected = (id & Selected) != 0u;
    vec3 rgb = selected ? mix(colour.rgb, SelectionColor.rgb, SelectionColor.a) : colour.rgb;
    vec2 around[4] = vec2[4](vec2(-w, 0.0), vec2(0.0, -h), vec2(w, 0.0), vec2(0.0, h));
    bool contour = false;
    bool touched = selected;
