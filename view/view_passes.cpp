#include "view/view_passes.h"

#include "gl/gl.h"
#include "gl/glatomlist.h"
#include "gl/glquad.h"
#include "gl/shader.h"
#include "gl/texture2d.h"
#include "view/glview.h"

namespace qel {

unsigned attachment(const Texture2D* target) { return GLenum(target->colourAttachment()); }

void drawInto(const Texture2D* target) { gl->glDrawBuffer(attachment(target)); }

void drawPass(GLAtomList& atoms) {
    Shader::setUniform("ProjectionModelViewMatrix", Ortho01);
    GLFill(true);
    atoms.disable();
}

void setContourUniforms(const GLView& view) {
    Shader::setUniform("w", 1.0f / float(view.width));
    Shader::setUniform("h", 1.0f / float(view.height));
    Shader::setUniform("Contour", view.contourColor.toFloat());
    if (view.selectionDisplay) {
        Shader::setUniform("SelectionColor", vec4(1.0f, 0.0f, 0.0f, 0.01f));
        Shader::setUniform("SelectionContour", vec4(1.0f, 0.0f, 0.0f, 1.0f));
    }
}

}  // namespace qel
