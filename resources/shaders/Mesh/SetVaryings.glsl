    vNormal = dot(n, n) > 1e-20 ? normalize(n) : vec3(0.0);
    vColor = ObjectColor * Color;
    vLight = vec4(ObjectLight.rgb + Light.rgb, ObjectLight.a * Light.a);
    vMaterial = ObjectMaterial + Material;
    vId = ItemId == 0xffffffffu ? id : ItemId;
