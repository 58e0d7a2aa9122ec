// The passes that work inside one framebuffer: normals reconstructed from
// depth where the scene drew none, and depth fog.

#include "gl/fbo.h"

#include "gl/gl.h"
#include "gl/glquad.h"
#include "gl/shader.h"
#include "gl/shaders.h"
#include "gl/texture2d.h"

namespace qel {

bool FBO::copyForPass(Texture2D* a, Texture2D* b) {
    if (!a || !b || a->colourAttachment() < 0 || b->colourAttachment() < 0) return false;
    gl->glDisable(GL_DEPTH_TEST);
    gl->glReadBuffer(GLenum(a->colourAttachment()));
    gl->glDrawBuffer(GLenum(b->colourAttachment()));
    gl->glBlitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    return true;
}

void FBO::setStencil(bool stencil) {
    if (stencil) {
        gl->glStencilFunc(GL_EQUAL, layer_, layer_);
        gl->glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
        gl->glEnable(GL_STENCIL_TEST);
    } else {
        gl->glDisable(GL_STENCIL_TEST);
    }
}

namespace {

// Sets the sampler uniforms of the two inputs; false when either texture
// cannot be bound (the units taken so far are given back).
bool bindInputs(const char* firstName, Texture2D* first, const char* secondName, Texture2D* second) {
    const int firstUnit = first->unit();
    if (firstUnit < 0) return false;
    const int secondUnit = second->unit();
    if (secondUnit < 0) {
        first->disable();
        return false;
    }
    Shader::setUniform(firstName, firstUnit);
    Shader::setUniform(secondName, secondUnit);
    return true;
}

}  // namespace

bool FBO::normalsOrthogonal(Texture2D* a, Texture2D* b, Texture2D* depth, float scale, bool stencil) {
    if (!depth || !copyForPass(a, b)) return false;
    if (!ShaderNormalsOrthogonal->enable()) return false;
    gl->glDrawBuffer(GLenum(a->colourAttachment()));
    if (!bindInputs("Depth", depth, "Normal", b)) return false;
    Shader::setUniform("dz", 1.0f / scale);
    setStencil(stencil);
    Shader::setUniform("ProjectionModelViewMatrix", Ortho01);
    GLFill(true);
    depth->disable();
    b->disable();
    ShaderNormalsOrthogonal->disable();
    return true;
}

bool FBO::normalsPerspective(Texture2D* a, Texture2D* b, Texture2D* depth, float A, float B, bool stencil) {
    if (!depth || !copyForPass(a, b)) return false;
    if (!ShaderNormalsPerspective->enable()) return false;
    gl->glDrawBuffer(GLenum(a->colourAttachment()));
    if (!bindInputs("Depth", depth, "Normal", b)) return false;
    Shader::setUniform("delta", vec2(1.0f / float(width_), 1.0f / float(height_)));
    Shader::setUniform("A", A);
    Shader::setUniform("B", B);
    setStencil(stencil);
    Shader::setUniform("ProjectionModelViewMatrix", Ortho01);
    GLFill(true);
    depth->disable();
    b->disable();
    ShaderNormalsPerspective->disable();
    return true;
}

bool FBO::fog(Texture2D* a, Texture2D* b, Texture2D* depth, bvec4 colour, float near, float range, bool stencil) {
    if (!depth || !copyForPass(a, b)) return false;
    if (!ShaderFogOrthogonal->enable()) return false;
    gl->glDrawBuffer(GLenum(a->colourAttachment()));
    if (!bindInputs("Color", b, "Depth", depth)) return false;
    Shader::setUniform("Fog", colour);
    Shader::setUniform("near", near);
    Shader::setUniform("range", range);
    setStencil(stencil);
    Shader::setUniform("ProjectionModelViewMatrix", Ortho01);
    GLFill(true);
    depth->disable();
    b->disable();
    ShaderFogOrthogonal->disable();
    return true;
}

bool FBO::fogOrthogonal(Texture2D* a, Texture2D* b, Texture2D* depth, bvec4 colour, float p1, float p2, bool stencil) {
    return fog(a, b, depth, colour, p1 - 0.5f * p2, p2, stencil);
}

bool FBO::fogPerspective(Texture2D* a, Texture2D* b, Texture2D* depth, bvec4 colour, float p1, float p2, bool stencil) {
    return fog(a, b, depth, colour, p1, p2 - p1, stencil);
}

}  // namespace qel
