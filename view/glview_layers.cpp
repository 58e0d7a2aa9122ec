// Filling one layer of the view's G-buffer. The opaque layer first gets its
// background in `color` and `composite`; then the layer's objects, their
// features and their auxiliary drawing are drawn with the stencil marking
// every pixel they cover with the layer number (its own bit: where a
// transparent object lies over an opaque one both bits are set), which the
// shading and mixing passes select their pixels by.

#include <initializer_list>

#include "gl/environment.h"
#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/glatomlist.h"
#include "gl/shaders.h"
#include "gl/texture2d.h"
#include "gl/texturecube.h"
#include "scene/scene.h"
#include "view/camera.h"
#include "view/glview.h"
#include "view/sky.h"
#include "view/view_passes.h"

namespace qel {

namespace {

// Makes the targets the draw buffers of the bound framebuffer, in order.
void drawInto(std::initializer_list<const Texture2D*> targets) {
    GLenum buffers[4];
    GLsizei count = 0;
    for (const Texture2D* target : targets) buffers[count++] = attachment(target);
    gl->glDrawBuffers(count, buffers);
}

// The background image stretched over the layer's colour target, with
// linear filtering. False when there is no image to show.
bool drawBackgroundImage(const GLView& view, FBOScene* fbo) {
    FBO* image = view.backgroundImage;
    if (view.backgroundMode != 1 || !image) return false;
    const bool compiled = image->compile() && !image->textures().empty();
    // Compiling a framebuffer leaves the default one bound.
    gl->glBindFramebuffer(GL_FRAMEBUFFER, fbo->name());
    if (!compiled) return false;
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, image->name());
    gl->glReadBuffer(attachment(image->textures().front()));
    gl->glDrawBuffer(attachment(fbo->color));
    gl->glBlitFramebuffer(0, 0, image->width(), image->height(), 0, 0, view.width, view.height, GL_COLOR_BUFFER_BIT,
                          GL_LINEAR);
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo->name());
    return true;
}

// The environment seen through the camera, in the layer's colour target.
// False when the sky is not wanted (simple rendering, another background,
// no environment or one still being built) or cannot be drawn.
bool drawSkyBox(const GLView& view, FBOScene* fbo) {
    const Environment* environment = view.environment;
    if (view.renderSimple || view.backgroundMode != 2 || !environment || environment->building()) return false;
    TextureCubeArray* sky = environment->array();
    GLAtomList atoms{ShaderSkyBox, sky};
    if (!sky || !atoms.enable()) return false;
    gl->glDrawBuffer(attachment(fbo->color));
    gl->glDisable(GL_DEPTH_TEST);
    gl->glDisable(GL_STENCIL_TEST);
    gl->glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
    Shader::setUniform("sky", sky->unit());
    Shader::setUniform("level", skyLevel(view.environmentBlur, environment->levels()));
    Shader::setUniform("Lens", skyLens(view.viewType == GLView::ViewPerspective, view.fov));
    // Shader::setUniform hands GL the rows as columns: the transpose makes
    // the shader's matrix the rotation itself.
    const mat3 rotation = skyRotation(view.camera->orientation, view.environmentMatrix, view.environmentRotated);
    Shader::setUniform("Rotation", rotation.transposed());
    drawPass(atoms);
    return true;
}

// The background colour in `color` and `composite`, fully opaque.
void clearToBackground(const GLView& view, FBOScene* fbo) {
    const wvec4& b = view.background;
    const GLfloat colour[4] = {b.r / 65535.0f, b.g / 65535.0f, b.b / 65535.0f, 1.0f};
    drawInto({fbo->color, fbo->composite});
    gl->glClearBufferfv(GL_COLOR, 0, colour);
    gl->glClearBufferfv(GL_COLOR, 1, colour);
}

void drawBackground(const GLView& view, FBOScene* fbo) {
    if (!drawBackgroundImage(view, fbo) && !drawSkyBox(view, fbo)) {
        clearToBackground(view, fbo);
        return;
    }
    // `composite` starts with the image or the sky too.
    gl->glReadBuffer(attachment(fbo->color));
    gl->glDrawBuffer(attachment(fbo->composite));
    gl->glBlitFramebuffer(0, 0, view.width, view.height, 0, 0, view.width, view.height, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
}

// Empties the object targets (draw buffers idMaterial, color, light,
// normal). The opaque layer keeps its background colour and clears the
// shared depth and stencil; the transparent layer draws on that depth.
void clearLayer(bool opaque) {
    const GLuint noId[4] = {0, 0, 0, 0};
    const GLfloat zero[4] = {0, 0, 0, 0};
    const GLfloat black[4] = {0, 0, 0, 1};
    gl->glClearBufferuiv(GL_COLOR, 0, noId);
    gl->glClearBufferfv(GL_COLOR, 2, zero);
    gl->glClearBufferfv(GL_COLOR, 3, zero);
    if (!opaque) {
        gl->glClearBufferfv(GL_COLOR, 1, black);
        return;
    }
    gl->glStencilMask(0xFF);
    gl->glDepthMask(GL_TRUE);
    gl->glClearBufferfi(GL_DEPTH_STENCIL, 0, 1.0f, 0);
}

}  // namespace

bool GLView::renderScene(FBOScene* fbo, Tool::TRenderType type, bool preview) {
    const bool opaque = fbo == fboScene;
    if (opaque) drawBackground(*this, fbo);
    gl->glEnable(GL_DEPTH_TEST);
    drawInto({fbo->idMaterial, fbo->color, fbo->light, fbo->normal});
    if (!preview) {
        clearLayer(opaque);
        if (type == Tool::RenderTransparent && hideTransparent) return true;
    }

    const GLuint layer = fbo->layer();
    gl->glStencilMask(layer);
    gl->glStencilFunc(GL_ALWAYS, GLint(layer), layer);
    gl->glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    gl->glEnable(GL_STENCIL_TEST);
    scene->render(type, groupsMode != 0, preview);

    // Features write only the material channel of the ids (none: they are not
    // lit) and the colour without its opacity, and leave the depth as it is.
    drawInto({fbo->idMaterial, fbo->color});
    gl->glColorMaski(0, GL_FALSE, GL_FALSE, GL_TRUE, GL_FALSE);
    gl->glColorMaski(1, GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    gl->glDepthMask(GL_FALSE);
    gl->glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    scene->renderFeatures(type, preview, contourColor.highBytes());
    gl->glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    scene->renderAuxiliary(type, preview, bvec4(0, 255, 0, 255));

    gl->glDepthMask(GL_TRUE);
    gl->glColorMaski(0, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    gl->glColorMaski(1, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    return true;
}

}  // namespace qel
