    if (T.a < 0.5) discard;
    vec4 c = ObjectColor * T;
    if (c == vec4(0.0)) discard;
    // Roughness in the low and metalness in the high 16 bits, each offset
    // into 1..65534 so that 0 stays "no material".
    uvec2 pair = uvec2(clamp(ObjectMaterial + ivec2(32767), ivec2(1), ivec2(65534)));
    _IdMaterial = uvec3(ObjectId, ItemId, pair.x | (pair.y << 16));
    _Color = c;
    // An object whose colour is light emits the image.
    _Light = ColorLight != 0u ? ObjectLight : ObjectLight * T;
    _Normal = gl_FrontFacing ? vNormal : -vNormal;
