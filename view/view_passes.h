#pragma once
// Pieces shared by the view's full-screen passes: drawing the unit quad
// through an enabled pass, and the uniforms of the contour shaders.

namespace qel {

class GLAtomList;
class GLView;

// The full-screen quad through the enabled atoms, which are then let go.
void drawPass(GLAtomList& atoms);

// The pixel steps "w" and "h", the "Contour" colour and, while the selection
// is displayed, "SelectionColor" (a 1 % red tint) and "SelectionContour".
void setContourUniforms(const GLView& view);

}  // namespace qel
