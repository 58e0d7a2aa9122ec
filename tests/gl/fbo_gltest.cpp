#include "gl/fbo.h"
#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/texture2d.h"
#include "gl_util.h"

#include <gtest/gtest.h>

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

// Reads the three unsigned integers of the identifier target at (x, y).
std::vector<GLuint> readIds(const qel::FBOScene& scene, int x, int y) {
    std::vector<GLuint> read(3);
    gl->glReadBuffer(GLenum(scene.idMaterial->colourAttachment()));
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl->glReadPixels(x, y, 1, 1, GL_RGB_INTEGER, GL_UNSIGNED_INT, read.data());
    return read;
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

TEST_F(SceneTargets, TargetsAreCompleteShareDepthAndHoldUnsignedIdentifiers) {
    qel::FBOScene opaque(7, 5, 1);
    qel::FBOSceneTransparent transparent(&opaque, 2);
    EXPECT_EQ(transparent.depth, opaque.depth);
    ASSERT_TRUE(opaque.enable());
    const GLint depthName = GLint(opaque.depth->name());
    EXPECT_EQ(attachmentName(GL_DEPTH_STENCIL_ATTACHMENT), depthName);
    const qel::Texture2D* targets[] = {opaque.idMaterial, opaque.color,      opaque.light,
                                       opaque.normal,     opaque.normalCopy, opaque.composite};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(attachmentName(GL_COLOR_ATTACHMENT0 + GLenum(i)), GLint(targets[i]->name()));
    EXPECT_EQ(attachmentName(GL_COLOR_ATTACHMENT6), -1);
    // 3-channel targets, or their 4-channel forms when the driver refused them.
    EXPECT_TRUE(opaque.idMaterial->internalFormat() == GL_RGB32UI ||
                opaque.idMaterial->internalFormat() == GL_RGBA32UI);
    EXPECT_TRUE(opaque.normal->internalFormat() == GL_RGB16F || opaque.normal->internalFormat() == GL_RGBA16F);
    gl->glViewport(0, 0, 7, 5);
    const GLuint ids[4] = {0x80000005u, 42u, 0xFFFF0001u, 0u};
    gl->glClearBufferuiv(GL_COLOR, 0, ids);
    EXPECT_EQ(readIds(opaque, 2, 1), (std::vector<GLuint>{0x80000005u, 42u, 0xFFFF0001u}));

    ASSERT_TRUE(transparent.enable());
    EXPECT_EQ(attachmentName(GL_DEPTH_STENCIL_ATTACHMENT), depthName);
    EXPECT_EQ(attachmentName(GL_COLOR_ATTACHMENT6), GLint(transparent.glow->name()));
    transparent.disable();
    EXPECT_EQ(glInteger(GL_FRAMEBUFFER_BINDING), 0);
}

TEST_F(SceneTargets, FourChannelFallbackIsCompleteAndPicksThreeIntegers) {
    WideningFBO scene(3, 2, 1);
    ASSERT_TRUE(scene.widenColourTargets());
    EXPECT_EQ(scene.idMaterial->internalFormat(), GLenum(GL_RGBA32UI));
    EXPECT_EQ(scene.normal->internalFormat(), GLenum(GL_RGBA16F));
    EXPECT_EQ(scene.color->internalFormat(), GLenum(GL_RGBA8));
    EXPECT_FALSE(scene.widenColourTargets()) << "nothing left to widen";
    ASSERT_TRUE(scene.enable());
    gl->glViewport(0, 0, 3, 2);
    const GLuint ids[4] = {7u, 8u, 9u, 10u};
    gl->glDrawBuffer(GLenum(scene.idMaterial->colourAttachment()));
    gl->glClearBufferuiv(GL_COLOR, 0, ids);
    EXPECT_EQ(readIds(scene, 0, 0), (std::vector<GLuint>{7u, 8u, 9u}));
    scene.disable();
}

TEST_F(SceneTargets, ResizeRebuildsOnlyOnAChangeAndReachesTheSharedDepth) {
    qel::FBOScene opaque(4, 4, 1);
    qel::FBOSceneTransparent transparent(&opaque, 2);
    ASSERT_TRUE(opaque.enable() && transparent.enable());
    const unsigned int name = opaque.name();
    opaque.resize(4, 4);
    EXPECT_TRUE(opaque.isCompiled());
    EXPECT_EQ(opaque.name(), name);
    transparent.resize(6, 3);
    opaque.resize(6, 3);
    EXPECT_FALSE(opaque.isCompiled() || opaque.color->isCompiled());
    ASSERT_TRUE(opaque.enable() && transparent.enable());
    gl->glBindTexture(GL_TEXTURE_2D, opaque.depth->name());
    GLint width = 0;
    gl->glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    gl->glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(width, 6);
    EXPECT_EQ(transparent.glow->width(), 6);
    EXPECT_EQ(attachmentName(GL_DEPTH_STENCIL_ATTACHMENT), GLint(opaque.depth->name()));
    transparent.disable();
}

TEST_F(SceneTargets, SharedDepthOutlivesEitherOwnerInAnyOrder) {
    for (bool opaqueFirst : {true, false}) {
        auto* opaque = new qel::FBOScene(4, 4, 1);
        auto* transparent = new qel::FBOSceneTransparent(opaque, 2);
        ASSERT_TRUE(opaque->enable() && transparent->enable());
        qel::Texture2D* depth = opaque->depth;
        const GLuint depthName = depth->name();
        qel::FBOScene* survivor = opaqueFirst ? static_cast<qel::FBOScene*>(transparent) : opaque;
        delete (opaqueFirst ? opaque : static_cast<qel::FBOScene*>(transparent));
        // The survivor still draws into the same live depth texture.
        EXPECT_TRUE(gl->glIsTexture(depthName)) << opaqueFirst;
        if (opaqueFirst) survivor->clear();
        ASSERT_TRUE(survivor->enable());
        EXPECT_EQ(attachmentName(GL_DEPTH_STENCIL_ATTACHMENT), GLint(depth->name()));
        survivor->disable();
        delete survivor;
        EXPECT_FALSE(gl->glIsTexture(depthName)) << "deleted with its last owner";
    }
}

TEST_F(SceneTargets, IncompleteFramebufferKeepsNoNameAndUnbinds) {
    qel::FBO fbo(qel::FBO::NoDepth, 0, 0, 0);
    fbo.addTexture(gltest::rgbaTexture(0, 0));
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_FALSE(fbo.enable());
        EXPECT_FALSE(fbo.isCompiled());
        EXPECT_EQ(fbo.name(), 0u);
        EXPECT_EQ(glInteger(GL_FRAMEBUFFER_BINDING), 0);
    }
    fbo.resize(2, 2);
    EXPECT_TRUE(fbo.enable()) << "a retry after a resize succeeds";
    fbo.disable();
    gl->glGetError();
}

TEST_F(SceneTargets, NormalsPassesFillOnlyMissingNormalsFacingTheViewer) {
    qel::FBOScene scene(4, 4, 1);
    qel::FBOScene other(2, 2, 1);
    ASSERT_TRUE(scene.enable());
    gl->glViewport(0, 0, 4, 4);
    // Flat depth everywhere; one normal already drawn at pixel (0, 0).
    gl->glClearDepth(0.5);
    gl->glClearStencil(1);
    gl->glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    clearTarget(scene.normal, {0, 0, 0, 0});
    gl->glEnable(GL_SCISSOR_TEST);
    gl->glScissor(0, 0, 1, 1);
    clearTarget(scene.normal, {1, 0, 0, 0});
    gl->glDisable(GL_SCISSOR_TEST);
    ASSERT_TRUE(scene.normalsOrthogonal(scene.normal, scene.normalCopy, scene.depth, 2.0f, true));
    std::vector<float> n = gltest::readFloats(scene.normal->name(), 4, 4, GL_RGB);
    EXPECT_TRUE(n[0] == 1.0f && n[2] == 0.0f);
    for (std::size_t i = 3; i < n.size(); i += 3) {  // flat depth: no slope
        EXPECT_NEAR(n[i], 0.0f, 1e-3);
        EXPECT_NEAR(n[i + 2], 1.0f, 1e-3);
    }
    gl->glDisable(GL_STENCIL_TEST);
    clearTarget(scene.normal, {0, 0, 0, 0});
    ASSERT_TRUE(scene.normalsPerspective(scene.normal, scene.normalCopy, scene.depth, 1.0f, 0.5f, false));
    n = gltest::readFloats(scene.normal->name(), 4, 4, GL_RGB);
    EXPECT_NEAR(n[3 * 5 + 2], 1.0f, 1e-3);

    // Textures of another framebuffer, or of none, are refused.
    std::unique_ptr<qel::Texture2D> loose(gltest::floatTexture(2, 2, GL_RGB16F, GL_RGB, {}));
    EXPECT_FALSE(scene.normalsOrthogonal(loose.get(), scene.normalCopy, scene.depth, 1.0f, false));
    EXPECT_FALSE(scene.normalsPerspective(scene.normal, loose.get(), scene.depth, 1.0f, 1.0f, false));
    EXPECT_FALSE(scene.fogOrthogonal(scene.color, other.composite, scene.depth, qel::bvec4(), 0, 1, false));
    scene.disable();
}

TEST_F(SceneTargets, FogBlendsTowardsTheFogColourOnlyInsideTheLayer) {
    qel::FBOScene scene(4, 2, 2);
    ASSERT_TRUE(scene.enable());
    gl->glViewport(0, 0, 4, 2);
    gl->glClearDepth(0.5);
    gl->glClearStencil(0);
    gl->glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    gl->glEnable(GL_SCISSOR_TEST);  // the left half belongs to layer 2
    gl->glScissor(0, 0, 2, 2);
    gl->glClearStencil(2);
    gl->glClear(GL_STENCIL_BUFFER_BIT);
    gl->glDisable(GL_SCISSOR_TEST);
    clearTarget(scene.color, {0, 0, 0, 1});
    // Orthographic: near = p1 - p2 / 2 = 0, range 1: t = depth = 0.5.
    ASSERT_TRUE(scene.fogOrthogonal(scene.color, scene.composite, scene.depth, qel::bvec4(255, 255, 255, 255), 0.5f,
                                    1.0f, true));
    const auto out = gltest::readRGBA8(scene.color->name(), 4, 2);
    EXPECT_NEAR(out[0], 128, 1);
    EXPECT_EQ(out[3], 255);
    EXPECT_EQ(out[4 * 3], 0) << "outside the layer nothing changes";
    // Perspective: near = p1 = 0.25, range = p2 - p1 = 0.5: t = 0.5, half of
    // the fog's alpha 0.5.
    gl->glDisable(GL_STENCIL_TEST);
    clearTarget(scene.color, {0, 0, 0, 1});
    ASSERT_TRUE(scene.fogPerspective(scene.color, scene.composite, scene.depth, qel::bvec4(255, 0, 0, 128), 0.25f,
                                     0.75f, false));
    const auto red = gltest::readRGBA8(scene.color->name(), 4, 2);
    EXPECT_NEAR(red[4 * 3], 64, 2);
    EXPECT_EQ(red[4 * 3 + 1], 0);
    scene.disable();
}
