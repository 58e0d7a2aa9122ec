#include "gl/fbo.h"
#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/texture2d.h"
#include "gl_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

using gltest::glInteger;

// The name of the texture at an attachment of the bound framebuffer, -1 for
// none.
GLint attachmentName(GLenum attachment) {
    GLint type = 0, name = 0;
    gl->glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, attachment, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
    if (type != GL_TEXTURE) return -1;
    gl->glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, attachment, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &name);
    return name;
}

// Clears one colour target of the bound framebuffer.
void clearTarget(const qel::Texture2D* target, const GLfloat (&values)[4]) {
    gl->glDrawBuffer(GLenum(target->colourAttachment()));
    gl->glClearBufferfv(GL_COLOR, 0, values);
}

class SceneTargets : public gltest::GLTest {
protected:
    void TearDown() override {
        gl->glBindFramebuffer(GL_FRAMEBUFFER, 0);
        gl->glDisable(GL_STENCIL_TEST);
        GLTest::TearDown();
    }
};

// Exposes the fallback used when a driver refuses 3-channel colour targets.
class WideningFBO : public qel::FBOScene {
public:
    using qel::FBOScene::FBOScene;
    using qel::FBOScene::widenColourTargets;
};

}  // namespace

TEST_F(SceneTargets, TargetsAreCompleteAndHoldUnsignedIdentifiersInEitherFormat) {
    // 3-channel targets, and the 4-channel forms used when a driver refuses them.
    for (bool widened : {false, true}) {
        WideningFBO scene(7, 5, 1);
        if (widened) {
            ASSERT_TRUE(scene.widenColourTargets());
            EXPECT_EQ(scene.idMaterial->internalFormat(), GLenum(GL_RGBA32UI));
            EXPECT_FALSE(scene.widenColourTargets()) << "nothing left to widen";
        }
        ASSERT_TRUE(scene.enable());
        EXPECT_EQ(attachmentName(GL_DEPTH_STENCIL_ATTACHMENT), GLint(scene.depth->name()));
        const qel::Texture2D* targets[] = {scene.idMaterial, scene.color,      scene.light,
                                           scene.normal,     scene.normalCopy, scene.composite};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(attachmentName(GL_COLOR_ATTACHMENT0 + GLenum(i)), GLint(targets[i]->name()));
        EXPECT_EQ(attachmentName(GL_COLOR_ATTACHMENT6), -1);
        gl->glViewport(0, 0, 7, 5);
        const GLuint ids[4] = {0x80000005u, 42u, 0xFFFF0001u, 0u};
        gl->glDrawBuffer(GLenum(scene.idMaterial->colourAttachment()));
        gl->glClearBufferuiv(GL_COLOR, 0, ids);
        std::vector<GLuint> read(3);  // three unsigned integers whatever the format
        gl->glReadBuffer(GLenum(scene.idMaterial->colourAttachment()));
        gl->glPixelStorei(GL_PACK_ALIGNMENT, 1);
        gl->glReadPixels(2, 1, 1, 1, GL_RGB_INTEGER, GL_UNSIGNED_INT, read.data());
        EXPECT_EQ(read, (std::vector<GLuint>{0x80000005u, 42u, 0xFFFF0001u})) << widened;
        scene.disable();
        EXPECT_EQ(glInteger(GL_FRAMEBUFFER_BINDING), 0);
    }
}

TEST_F(SceneTargets, SharersKeepOneLiveDepthTextureThroughResizeClearAndDeletion) {
    for (int action = 0; action < 5; ++action) {
        auto opaque = std::make_unique<qel::FBOScene>(4, 4, 1);
        auto transparent = std::make_unique<qel::FBOSceneTransparent>(opaque.get(), 2);
        ASSERT_TRUE(opaque->enable() && transparent->enable());
        const GLuint depthName = opaque->depth->name(), name = opaque->name();
        opaque->resize(4, 4);  // the same size: nothing to do
        EXPECT_TRUE(opaque->isCompiled() && opaque->name() == name);
        if (action == 0) opaque->resize(6, 3);
        if (action == 1) transparent->resize(6, 3);
        if (action == 2) opaque->clear();  // the shared texture is built anew
        if (action >= 3) {
            // Either owner goes first: the other still draws into the live texture.
            action == 3 ? opaque.reset() : transparent.reset();
            qel::FBOScene* survivor = opaque ? opaque.get() : transparent.get();
            EXPECT_TRUE(gl->glIsTexture(depthName) && survivor->enable()) << action;
            EXPECT_EQ(attachmentName(GL_DEPTH_STENCIL_ATTACHMENT), GLint(depthName)) << action;
            survivor->disable();
            opaque.reset();
            transparent.reset();
            EXPECT_FALSE(gl->glIsTexture(depthName)) << "deleted with its last owner";
            continue;
        }
        const int w = action == 2 ? 4 : 6, h = action == 2 ? 4 : 3;
        EXPECT_TRUE(transparent->glow->width() == w && opaque->color->height() == h) << action;
        // Depth cleared through one framebuffer is read through the other.
        ASSERT_TRUE(opaque->enable());
        gl->glViewport(0, 0, w, h);
        gl->glClearDepth(0.25);
        gl->glClear(GL_DEPTH_BUFFER_BIT);
        ASSERT_TRUE(transparent->enable());
        EXPECT_EQ(attachmentName(GL_DEPTH_STENCIL_ATTACHMENT), GLint(opaque->depth->name())) << action;
        EXPECT_EQ(attachmentName(GL_COLOR_ATTACHMENT6), GLint(transparent->glow->name()));
        float depth = 0.0f;
        gl->glReadPixels(w - 1, h - 1, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        EXPECT_EQ(depth, 0.25f) << action;
        transparent->disable();
        gl->glGetError();
    }
}

TEST_F(SceneTargets, IncompleteFramebufferKeepsNoNameAndUnbinds) {
    qel::FBO fbo(qel::FBO::NoDepth, 0, 0, 0);
    fbo.addTexture(gltest::rgbaTexture(0, 0));
    EXPECT_FALSE(fbo.enable() || fbo.isCompiled());
    EXPECT_TRUE(fbo.name() == 0u && glInteger(GL_FRAMEBUFFER_BINDING) == 0);
    fbo.resize(2, 2);
    EXPECT_TRUE(fbo.enable()) << "a retry after a resize succeeds";
    fbo.disable();
    gl->glGetError();
}

TEST_F(SceneTargets, NormalsAndFogPassesWorkOnlyInsideTheLayer) {
    qel::FBOScene scene(4, 2, 2);
    qel::FBOScene other(2, 2, 1);
    ASSERT_TRUE(scene.enable());
    gl->glViewport(0, 0, 4, 2);
    // Flat depth everywhere; the left half belongs to layer 2; one normal
    // already drawn at pixel (0, 0).
    gl->glClearDepth(0.5);
    gl->glClearStencil(0);
    gl->glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    clearTarget(scene.normal, {0, 0, 0, 0});
    clearTarget(scene.color, {0, 0, 0, 1});
    gl->glEnable(GL_SCISSOR_TEST);
    gl->glScissor(0, 0, 2, 2);
    gl->glClearStencil(2);
    gl->glClear(GL_STENCIL_BUFFER_BIT);
    gl->glScissor(0, 0, 1, 1);
    clearTarget(scene.normal, {1, 0, 0, 0});
    gl->glDisable(GL_SCISSOR_TEST);

    ASSERT_TRUE(scene.normalsOrthogonal(scene.normal, scene.normalCopy, scene.depth, 2.0f, true));
    std::vector<float> n = gltest::readFloats(scene.normal->name(), 4, 2, GL_RGB);
    EXPECT_TRUE(n[0] == 1.0f && n[2] == 0.0f);  // kept
    EXPECT_NEAR(n[3 + 2], 1.0f, 1e-3);          // flat depth: facing the viewer
    EXPECT_EQ(n[9 + 2], 0.0f) << "outside the layer nothing changes";
    // Orthographic fog: near = p1 - p2 / 2 = 0, range 1: t = depth = 0.5.
    ASSERT_TRUE(scene.fogOrthogonal(scene.color, scene.composite, scene.depth, qel::bvec4(255, 255, 255, 255), 0.5f,
                                    1.0f, true));
    auto out = gltest::readRGBA8(scene.color->name(), 4, 2);
    EXPECT_TRUE(std::abs(out[0] - 128) <= 1 && out[3] == 255 && out[4 * 3] == 0);

    gl->glDisable(GL_STENCIL_TEST);
    clearTarget(scene.normal, {0, 0, 0, 0});
    clearTarget(scene.color, {0, 0, 0, 1});
    ASSERT_TRUE(scene.normalsPerspective(scene.normal, scene.normalCopy, scene.depth, 1.0f, 0.5f, false));
    n = gltest::readFloats(scene.normal->name(), 4, 2, GL_RGB);
    EXPECT_NEAR(n[3 * 5 + 2], 1.0f, 1e-3);
    // Perspective fog: near = p1 = 0.25, range = p2 - p1 = 0.5: t = 0.5, half of the fog's alpha 0.5.
    ASSERT_TRUE(scene.fogPerspective(scene.color, scene.composite, scene.depth, qel::bvec4(255, 0, 0, 128), 0.25f,
                                     0.75f, false));
    out = gltest::readRGBA8(scene.color->name(), 4, 2);
    EXPECT_TRUE(std::abs(out[4 * 3] - 64) <= 2 && out[4 * 3 + 1] == 0);

    // Textures of another framebuffer, or of none, are refused.
    std::unique_ptr<qel::Texture2D> loose(gltest::floatTexture(2, 2, GL_RGB16F, GL_RGB, {}));
    EXPECT_FALSE(scene.normalsOrthogonal(loose.get(), scene.normalCopy, scene.depth, 1.0f, false));
    EXPECT_FALSE(scene.normalsPerspective(scene.normal, loose.get(), scene.depth, 1.0f, 1.0f, false));
    EXPECT_FALSE(scene.fogOrthogonal(scene.color, other.composite, scene.depth, qel::bvec4(), 0, 1, false));
    scene.disable();
}
