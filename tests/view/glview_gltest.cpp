// The view's render targets on a real context.

#include <gtest/gtest.h>

#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/texture2d.h"
#include "view/glview.h"

using namespace qel;

namespace {

// The texture at the depth-stencil attachment of the bound framebuffer.
GLint depthAttachment() {
    GLint name = 0;
    gl->glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT,
                                              GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &name);
    return name;
}

GLint textureWidth(GLuint name) {
    GLint w = 0;
    gl->glBindTexture(GL_TEXTURE_2D, name);
    gl->glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    gl->glBindTexture(GL_TEXTURE_2D, 0);
    return w;
}

}  // namespace

TEST(ViewTargets, ResizeGivesBothLayersTheNewSizeOverOneDepthTexture) {
    GLView view(32, 24);
    FBOScene* layers[] = {view.fboScene, view.fboSceneTransparent};
    for (FBOScene* layer : layers) ASSERT_TRUE(layer->enable());
    view.redraw = 0;
    view.resize(40, 30);
    EXPECT_EQ(view.redraw, 1);
    EXPECT_EQ(view.fboSceneTransparent->depth, view.fboScene->depth);
    for (FBOScene* layer : layers) {
        EXPECT_EQ(layer->width(), 40);
        EXPECT_EQ(layer->height(), 30);
        ASSERT_TRUE(layer->enable());
        EXPECT_EQ(depthAttachment(), GLint(view.fboScene->depth->id()));
        EXPECT_EQ(textureWidth(view.fboScene->depth->id()), 40);
        EXPECT_EQ(textureWidth(layer->composite->id()), 40);
        layer->disable();
    }
    EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
}
