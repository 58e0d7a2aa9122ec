uint objectAt(vec2 p) {
    uint id = texture(TransparentId, p).x;
    return id != 0u ? id : texture(OpaqueId, p).x;
}
