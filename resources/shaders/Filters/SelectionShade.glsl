    vec4 line = touched ? SelectionContour : Contour;
    if (contour && colour.a != 0.0)
        FragColor = vec4(mix(rgb, line.rgb, line.a), 1.0);
    else
        FragColor = vec4(rgb, colour.a);
