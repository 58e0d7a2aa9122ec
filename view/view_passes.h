#pragma once
// Pieces shared by the view's full-screen passes: choosing the target drawn
// into, drawing the unit quad through an enabled pass, and the uniforms of
// the contour shaders.

namespace qel {

class GLAtomList;
class GLView;
class Texture2D;

// The draw buffer naming the target's colour attachment.
unsigned attachment(const Texture2D* target);

// The target made the single draw buffer of the bound framebuffer.
void drawInto(const Texture2D* target);

// The full-screen quad through the enabled atoms, which are then let go.
void drawPass(GLAtomList& atoms);

// The pixel steps "w" and "h", the "Contour" colour and, while the selection
// is displayed, "SelectionColor" (a 1 % red tint) and "SelectionContour".
void setContourUniforms(const GLView& view);

}  // namespace qel
