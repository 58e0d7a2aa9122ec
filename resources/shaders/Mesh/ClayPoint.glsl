    vec3 p = position0;
    vec3 deform = vec3(0.0);
