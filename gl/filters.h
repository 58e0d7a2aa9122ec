#pragma once
// Full-screen passes. Each draws the unit square over the bound framebuffer
// with one program, reading its inputs as textures. With a destination
// texture the pass draws into that texture's colour attachment (the caller
// has bound the framebuffer holding it); without one it draws into the
// current draw buffer. Each returns false, drawing nothing and leaving the
// texture units as they were, when its program or a texture cannot be
// enabled.

#include "core/vec.h"

#include <vector>

namespace qel {

class Texture2D;

// The source flipped vertically.
bool GLMirrorVertical(Texture2D* src, Texture2D* dst);
// The source where every component reaches the threshold, else transparent
// black.
bool GLThreshold(Texture2D* src, vec4 value, Texture2D* dst);
// The source plus a constant.
bool GLAdd(Texture2D* src, vec4 value, Texture2D* dst);
// The sum of two or three sources; false for any other count.
bool GLAdd(const std::vector<Texture2D*>& srcs, Texture2D* dst);
// Two sources: the first plus the sum of the second's mip levels
// 0 .. levels-1; one source: the sum of its mip levels. False for other
// counts.
bool GLAddMipMaps(const std::vector<Texture2D*>& srcs, int levels, Texture2D* dst);
// Per channel, the source blended with the source magnified about the centre
// by 2 - s, weighted by colour / 255.
bool GLChroma(Texture2D* src, Texture2D* dst, bvec4 colour, float s, vec2 centre);
// Separable 9-tap blur between a and b (same size and format, both attached
// to the bound framebuffer); each pass blurs horizontally into b, then
// vertically back into a, where the result ends.
bool GLBlur(Texture2D* a, Texture2D* b, int passes);

}  // namespace qel
