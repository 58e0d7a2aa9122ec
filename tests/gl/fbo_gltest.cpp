#include "gl/fbo.h"
#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/texture2d.h"
#include "gl_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

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

GLint boundFramebuffer() {
    GLint name = 0;
    gl->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &name);
    return name;
}

class SceneTargets : public testing::Test {
protected:
    void SetUp() override { gltest::useShaderResources(); }
    void TearDown() override {
        gl->glBindFramebuffer(GL_FRAMEBUFFER, 0);
        gl->glDisable(GL_STENCIL_TEST);
        EXPECT_EQ(qel::Texture::GLActiveTexture, 0);
        EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
    }
};

}  // namespace

TEST_F(SceneTargets, OpaqueAndTransparentTargetsAreCompleteAndShareDepth) {
    qel::FBOScene opaque(7, 5, 1);
    qel::FBOSceneTransparent transparent(&opaque, 2);
    EXPECT_EQ(transparent.depth, opaque.depth);
    EXPECT_EQ(transparent.width(), 7);
    EXPECT_EQ(opaque.textures().size(), 7u);
    EXPECT_EQ(transparent.textures().size(), 8u);

    ASSERT_TRUE(opaque.enable());
    const GLint depthName = GLint(opaque.depth->name());
    EXPECT_EQ(attachmentName(GL_DEPTH_STENCIL_ATTACHMENT), depthName);
    const qel::Texture2D* targets[] = {opaque.idMaterial, opaque.color, opaque.light,
                                       opaque.normal, opaque.normalCopy, opaque.composite};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(targets[i]->colourAttachment(), int(GL_COLOR_ATTACHMENT0) + i);
        EXPECT_EQ(attachmentName(GL_COLOR_ATTACHMENT0 + GLenum(i)), GLint(targets[i]->name()));
    }
    EXPECT_EQ(attachmentName(GL_COLOR_ATTACHMENT6), -1);
    // Which layouts the driver accepted: 3-channel targets, or their
    // 4-channel forms when it refused them.
    RecordProperty("idMaterialFormat", int(opaque.idMaterial->internalFormat()));
    RecordProperty("normalFormat", int(opaque.normal->internalFormat()));
    EXPECT_TRUE(opaque.idMaterial->internalFormat() == GL_RGB32UI ||
                opaque.idMaterial->internalFormat() == GL_RGBA32UI);
    EXPECT_TRUE(opaque.normal->internalFormat() == GL_RGB16F || opaque.normal->internalFormat() == GL_RGBA16F);

    ASSERT_TRUE(transparent.enable());
    EXPECT_EQ(attachmentName(GL_DEPTH_STENCIL_ATTACHMENT), depthName);
    EXPECT_EQ(transparent.glow->colourAttachment(), int(GL_COLOR_ATTACHMENT6));
    EXPECT_EQ(attachmentName(GL_COLOR_ATTACHMENT6), GLint(transparent.glow->name()));
    transparent.disable();
    EXPECT_EQ(boundFramebuffer(), 0);
}

TEST_F(SceneTargets, IdentifierTargetHoldsUnsignedIntegers) {
    qel::FBOScene scene(3, 2, 1);
    ASSERT_TRUE(scene.enable());
    gl->glViewport(0, 0, 3, 2);
    const GLuint ids[4] = {0x80000005u, 42u, 0xFFFF0001u, 0u};
    gl->glClearBufferuiv(GL_COLOR, 0, ids);
    gl->glReadBuffer(GLenum(scene.idMaterial->colourAttachment()));
    GLuint read[3] = {};
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl->glReadPixels(2, 1, 1, 1, GL_RGB_INTEGER, GL_UNSIGNED_INT, read);
    EXPECT_EQ(read[0], 0x80000005u);
    EXPECT_EQ(read[1], 42u);
    EXPECT_EQ(read[2], 0xFFFF0001u);
    scene.disable();
}

TEST_F(SceneTargets, ResizeRebuildsOnlyOnAChangeAndReachesTheSharedDepth) {
    qel::FBOScene opaque(4, 4, 1);
    qel::FBOSceneTransparent transparent(&opaque, 2);
    ASSERT_TRUE(opaque.enable());
    ASSERT_TRUE(transparent.enable());
    const unsigned int name = opaque.name();
    opaque.resize(4, 4);
    EXPECT_TRUE(opaque.isCompiled());
    EXPECT_EQ(opaque.name(), name);

    transparent.resize(6, 3);
    opaque.resize(6, 3);
    EXPECT_FALSE(opaque.isCompiled());
    EXPECT_FALSE(opaque.color->isCompiled());
    EXPECT_EQ(opaque.depth->width(), 6);
    EXPECT_EQ(opaque.depth->height(), 3);
    EXPECT_EQ(transparent.glow->width(), 6);
    ASSERT_TRUE(opaque.enable());
    ASSERT_TRUE(transparent.enable());
    GLint width = 0;
    gl->glBindTexture(GL_TEXTURE_2D, opaque.depth->name());
    gl->glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    gl->glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(width, 6);
    EXPECT_EQ(attachmentName(GL_DEPTH_STENCIL_ATTACHMENT), GLint(opaque.depth->name()));
    transparent.disable();
}

TEST_F(SceneTargets, SharedDepthOutlivesEitherOwnerInAnyOrder) {
    {
        auto* opaque = new qel::FBOScene(4, 4, 1);
        auto* transparent = new qel::FBOSceneTransparent(opaque, 2);
        ASSERT_TRUE(opaque->enable());
        ASSERT_TRUE(transparent->enable());
        qel::Texture2D* depth = transparent->depth;
        const GLuint depthName = depth->name();
        // The opaque target goes first: the transparent one still draws into
        // the same live depth texture.
        delete opaque;
        EXPECT_TRUE(gl->glIsTexture(depthName));
        EXPECT_EQ(depth->width(), 4);
        transparent->clear();
        ASSERT_TRUE(transparent->enable());
        EXPECT_EQ(attachmentName(GL_DEPTH_STENCIL_ATTACHMENT), GLint(depth->name()));
        transparent->disable();
        delete transparent;
        EXPECT_FALSE(gl->glIsTexture(depthName));
    }
    {
        auto* opaque = new qel::FBOScene(4, 4, 1);
        auto* transparent = new qel::FBOSceneTransparent(opaque, 2);
        ASSERT_TRUE(transparent->enable());
        ASSERT_TRUE(opaque->enable());
        const GLuint depthName = opaque->depth->name();
        delete transparent;
        EXPECT_TRUE(gl->glIsTexture(depthName)) << "the transparent target leaves the opaque one's depth alone";
        EXPECT_EQ(attachmentName(GL_DEPTH_STENCIL_ATTACHMENT), GLint(depthName));
        opaque->disable();
        delete opaque;
        EXPECT_FALSE(gl->glIsTexture(depthName));
    }
}

TEST_F(SceneTargets, IncompleteFramebufferKeepsNoNameAndUnbinds) {
    qel::FBO fbo(qel::FBO::NoDepth, 0, 0, 0);
    fbo.addTexture(new qel::Texture2D(0, 0, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR));
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_FALSE(fbo.enable());
        EXPECT_FALSE(fbo.isCompiled());
        EXPECT_EQ(fbo.name(), 0u);
        EXPECT_EQ(boundFramebuffer(), 0);
    }
    fbo.resize(2, 2);
    EXPECT_TRUE(fbo.enable()) << "a retry after a resize succeeds";
    fbo.disable();
    gl->glGetError();
}

namespace {

// Reads n RGB half-float normals back as floats.
std::vector<float> readNormals(qel::Texture2D* normal, int w, int h) {
    return gltest::readFloats(normal->name(), w, h, GL_RGB);
}

}  // namespace

TEST_F(SceneTargets, NormalsPassFillsOnlyMissingNormals) {
    qel::FBOScene scene(4, 4, 1);
    ASSERT_TRUE(scene.enable());
    gl->glViewport(0, 0, 4, 4);
    // Flat depth everywhere; one normal already drawn at pixel (0, 0).
    gl->glClearDepth(0.5);
    gl->glClearStencil(1);
    gl->glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    const GLfloat zero[4] = {0, 0, 0, 0};
    clearTarget(scene.normal, zero);
    gl->glEnable(GL_SCISSOR_TEST);
    gl->glScissor(0, 0, 1, 1);
    const GLfloat drawn[4] = {1, 0, 0, 0};
    clearTarget(scene.normal, drawn);
    gl->glDisable(GL_SCISSOR_TEST);

    ASSERT_TRUE(scene.normalsOrthogonal(scene.normal, scene.normalCopy, scene.depth, 2.0f, true));
    scene.disable();
    const std::vector<float> n = readNormals(scene.normal, 4, 4);
    EXPECT_FLOAT_EQ(n[0], 1.0f);
    EXPECT_FLOAT_EQ(n[2], 0.0f);
    // Flat depth: the slope is zero and the normal faces the viewer.
    for (int i = 1; i < 16; ++i) {
        EXPECT_NEAR(n[std::size_t(3 * i)], 0.0f, 1e-3);
        EXPECT_NEAR(n[std::size_t(3 * i + 2)], 1.0f, 1e-3);
    }
}

TEST_F(SceneTargets, PerspectiveNormalsOfFlatDepthFaceTheViewer) {
    qel::FBOScene scene(4, 4, 1);
    ASSERT_TRUE(scene.enable());
    gl->glViewport(0, 0, 4, 4);
    gl->glClearDepth(0.25);
    gl->glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    const GLfloat zero[4] = {0, 0, 0, 0};
    clearTarget(scene.normal, zero);
    ASSERT_TRUE(scene.normalsPerspective(scene.normal, scene.normalCopy, scene.depth, 1.0f, 0.5f, false));
    scene.disable();
    const std::vector<float> n = readNormals(scene.normal, 4, 4);
    EXPECT_NEAR(n[3 * 5 + 2], 1.0f, 1e-3);
}

TEST_F(SceneTargets, PassesRefuseTexturesOfAnotherFramebuffer) {
    qel::FBOScene scene(2, 2, 1);
    qel::FBOScene other(2, 2, 1);
    ASSERT_TRUE(scene.enable());
    std::unique_ptr<qel::Texture2D> loose(
        new qel::Texture2D(2, 2, GL_RGB16F, GL_RGB, GL_HALF_FLOAT, GL_CLAMP_TO_EDGE, GL_LINEAR));
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
    // The left half belongs to layer 2.
    gl->glEnable(GL_SCISSOR_TEST);
    gl->glScissor(0, 0, 2, 2);
    gl->glClearStencil(2);
    gl->glClear(GL_STENCIL_BUFFER_BIT);
    gl->glDisable(GL_SCISSOR_TEST);
    const GLfloat black[4] = {0, 0, 0, 1};
    clearTarget(scene.color, black);

    // Orthographic: near = p1 - p2 / 2 = 0, range 1: t = depth = 0.5.
    ASSERT_TRUE(scene.fogOrthogonal(scene.color, scene.composite, scene.depth, qel::bvec4(255, 255, 255, 255), 0.5f,
                                    1.0f, true));
    const auto out = gltest::readRGBA8(scene.color->name(), 4, 2);
    EXPECT_NEAR(out[0], 128, 1);
    EXPECT_EQ(out[3], 255);
    EXPECT_EQ(out[4 * 3], 0) << "outside the layer nothing changes";

    // Perspective: near = p1 = 0.25, range = p2 - p1 = 0.5: t = 0.5, half of
    // the fog's alpha 0.5 applied to the previous grey.
    gl->glDisable(GL_STENCIL_TEST);
    clearTarget(scene.color, black);
    ASSERT_TRUE(scene.fogPerspective(scene.color, scene.composite, scene.depth, qel::bvec4(255, 0, 0, 128), 0.25f,
                                     0.75f, false));
    const auto red = gltest::readRGBA8(scene.color->name(), 4, 2);
    EXPECT_NEAR(red[4 * 3], 64, 2);
    EXPECT_EQ(red[4 * 3 + 1], 0);
    scene.disable();
}

namespace {

// Exposes the fallback used when a driver refuses 3-channel colour targets.
class WideningFBO : public qel::FBOScene {
public:
    using qel::FBOScene::FBOScene;
    using qel::FBOScene::widenColourTargets;
};

}  // namespace

TEST_F(SceneTargets, FourChannelFallbackOfTheSceneTargetsIsComplete) {
    WideningFBO scene(3, 2, 1);
    ASSERT_TRUE(scene.widenColourTargets());
    EXPECT_EQ(scene.idMaterial->internalFormat(), GLenum(GL_RGBA32UI));
    EXPECT_EQ(scene.idMaterial->format(), GLenum(GL_RGBA_INTEGER));
    EXPECT_EQ(scene.normal->internalFormat(), GLenum(GL_RGBA16F));
    EXPECT_EQ(scene.normal->format(), GLenum(GL_RGBA));
    EXPECT_EQ(scene.color->internalFormat(), GLenum(GL_RGBA8));
    EXPECT_EQ(scene.depth->internalFormat(), GLenum(GL_DEPTH32F_STENCIL8));
    EXPECT_FALSE(scene.widenColourTargets()) << "nothing left to widen";
    ASSERT_TRUE(scene.enable());
    // Picking reads three integers whatever the target's channel count.
    gl->glViewport(0, 0, 3, 2);
    const GLuint ids[4] = {7u, 8u, 9u, 10u};
    gl->glDrawBuffer(GLenum(scene.idMaterial->colourAttachment()));
    gl->glClearBufferuiv(GL_COLOR, 0, ids);
    gl->glReadBuffer(GLenum(scene.idMaterial->colourAttachment()));
    GLuint read[3] = {};
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl->glReadPixels(0, 0, 1, 1, GL_RGB_INTEGER, GL_UNSIGNED_INT, read);
    EXPECT_EQ(read[0], 7u);
    EXPECT_EQ(read[2], 9u);
    scene.disable();
}
