uniform vec4 ObjectColor;
uniform vec4 ObjectLight;
uniform ivec2 ObjectMaterial;
uniform uint ItemId;
