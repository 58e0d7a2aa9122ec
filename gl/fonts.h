#pragma once
// Bitmap fonts: a 2-D texture holding a grid of 32 x 3 glyph cells for the
// character codes 32 .. 127 (code c in column (c - 32) mod 32 and row
// (c - 32) div 32, rows counted from texture coordinate t = 0). A texel whose
// red channel is 0 is background, every other texel ink.

#include "core/vec.h"
#include "gl/texture2d.h"

#include <string>

namespace qel {

class Fonts : public Texture2D {
public:
    // Reads the font image at path (used unchanged) and takes its cell size,
    // (width / 32, height / 3) in whole pixels; 0 where the image is missing
    // or too small.
    explicit Fonts(const std::string& path);

    // Draws the text into the current framebuffer of the given viewport size
    // (pixels), one quad per character in the colour, over what is there.
    // The pen starts at position (pixels, y upward) and moves one cell right
    // before each character; spaces and codes outside the grid only move it.
    // Nothing is drawn when the font or its program cannot be enabled.
    void write(const std::string& text, const vec2& position, const vec2& viewport, const bvec4& colour);

    // Size of one glyph cell in pixels.
    vec2 cell;
};

// The font of the view's on-screen text; null until the view creates it.
extern Fonts* fonts;

}  // namespace qel
