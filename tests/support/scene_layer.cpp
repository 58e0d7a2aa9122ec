#include "support/scene_layer.h"

#include "gl/gl.h"
#include "gl/glerror.h"
#include "gl/resources.h"
#include "gl/shader.h"
#include "gl/texture2d.h"

namespace tltest {

void DrawTest::SetUp() {
    const qel::mat4 lookDownZ = qel::mat4::Scale(2.0f, 2.0f, -2.0f);
    qel::initShaderResources();
    qel::Shader::ProjectionModelViewMatrix = lookDownZ;
    qel::Shader::ProjectionOffsetModelViewMatrix = lookDownZ;
    qel::Shader::ModelViewMatrix = qel::mat4::Identity();
    qel::glClearErrors();
}

void DrawTest::TearDown() {
    EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
    qel::Shader::ProjectionModelViewMatrix = qel::mat4::Identity();
    qel::Shader::ProjectionOffsetModelViewMatrix = qel::mat4::Identity();
}

namespace {

template <class T>
std::vector<T> readTarget(const qel::Texture2D* texture, int w, int h, GLenum format, GLenum type, int channels) {
    std::vector<T> values(std::size_t(w * h * channels));
    gl->glBindTexture(GL_TEXTURE_2D, texture->name());
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl->glGetTexImage(GL_TEXTURE_2D, 0, format, type, values.data());
    gl->glBindTexture(GL_TEXTURE_2D, 0);
    return values;
}

}  // namespace

bool SceneLayer::begin() {
    if (!fbo_.enable()) return false;
    const GLenum targets[4] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1, GL_COLOR_ATTACHMENT2, GL_COLOR_ATTACHMENT3};
    gl->glDrawBuffers(4, targets);
    const GLuint zeroIds[4] = {0, 0, 0, 0};
    const GLfloat zero[4] = {0, 0, 0, 0};
    gl->glClearBufferuiv(GL_COLOR, 0, zeroIds);
    for (int i = 1; i < 4; ++i) gl->glClearBufferfv(GL_COLOR, i, zero);
    gl->glClearBufferfi(GL_DEPTH_STENCIL, 0, 1.0f, 0);
    gl->glEnable(GL_DEPTH_TEST);
    gl->glDepthFunc(GL_LESS);
    gl->glViewport(0, 0, w_, h_);
    return true;
}

void SceneLayer::end() {
    gl->glDisable(GL_DEPTH_TEST);
    fbo_.disable();
}

std::vector<std::uint32_t> SceneLayer::ids() {
    return readTarget<std::uint32_t>(fbo_.idMaterial, w_, h_, GL_RGB_INTEGER, GL_UNSIGNED_INT, 3);
}

std::vector<std::uint8_t> SceneLayer::colours() {
    return readTarget<std::uint8_t>(fbo_.color, w_, h_, GL_RGBA, GL_UNSIGNED_BYTE, 4);
}

std::vector<float> SceneLayer::normals() { return readTarget<float>(fbo_.normal, w_, h_, GL_RGB, GL_FLOAT, 3); }

}  // namespace tltest
