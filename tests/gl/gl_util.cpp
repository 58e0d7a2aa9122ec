#include "gl_util.h"

#include <QFile>

#include "gl/resources.h"
#include "gl/texture2d.h"

namespace gltest {

void GLTest::SetUp() {
    qel::initShaderResources();
    ASSERT_EQ(qel::Texture::GLActiveTexture, 0);
}

GLint glInteger(GLenum name) {
    GLint value = 0;
    gl->glGetIntegerv(name, &value);
    return value;
}

Target::Target(int w, int h, std::initializer_list<qel::Texture2D*> targets) : fbo_(qel::FBO::NoDepth, w, h, 0) {
    for (qel::Texture2D* t : targets) fbo_.addTexture(t);
    ok_ = fbo_.enable();
    gl->glViewport(0, 0, w, h);
    gl->glDisable(GL_DEPTH_TEST);
    gl->glDisable(GL_STENCIL_TEST);
    gl->glDisable(GL_BLEND);
}

qel::Texture2D* rgbaTexture(int w, int h, const Bytes& bytes) {
    auto* texture = new qel::Texture2D(w, h, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_NEAREST);
    if (!bytes.empty()) texture->setData(bytes.data(), int(bytes.size()));
    return texture;
}

qel::Texture2D* floatTexture(int w, int h, GLenum internal, GLenum format, const std::vector<float>& values) {
    auto* texture = new qel::Texture2D(w, h, internal, format, GL_FLOAT, GL_CLAMP_TO_EDGE, GL_NEAREST);
    if (!values.empty())
        texture->setData(reinterpret_cast<const std::uint8_t*>(values.data()), int(values.size() * sizeof(float)));
    return texture;
}

namespace {

template <typename T>
std::vector<T> readBack(GLuint texture, int w, int h, GLenum format, GLenum type, int channels) {
    const GLint previous = glInteger(GL_FRAMEBUFFER_BINDING);
    GLuint fbo = 0;
    gl->glGenFramebuffers(1, &fbo);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    gl->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    gl->glReadBuffer(GL_COLOR_ATTACHMENT0);
    std::vector<T> values(std::size_t(w) * std::size_t(h) * std::size_t(channels));
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl->glReadPixels(0, 0, w, h, format, type, values.data());
    gl->glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
    gl->glDeleteFramebuffers(1, &fbo);
    return values;
}

}  // namespace

Bytes readRGBA8(GLuint texture, int w, int h) {
    return readBack<std::uint8_t>(texture, w, h, GL_RGBA, GL_UNSIGNED_BYTE, 4);
}

std::vector<float> readFloats(GLuint texture, int w, int h, GLenum format) {
    const int channels = format == GL_RGBA ? 4 : format == GL_RGB ? 3 : 1;
    return readBack<float>(texture, w, h, format, GL_FLOAT, channels);
}

Bytes readBound(GLenum target, GLenum format, std::size_t size) {
    Bytes bytes(size);
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl->glGetTexImage(target, 0, format, GL_UNSIGNED_BYTE, bytes.data());
    return bytes;
}

std::string savePng(const QTemporaryDir& dir, const std::string& name, const QImage& image) {
    image.save(dir.filePath(QString::fromStdString(name)), "PNG");
    return dir.filePath(QString::fromStdString(name)).toStdString();
}

std::string saveBytes(const QTemporaryDir& dir, const std::string& name, const Bytes& bytes) {
    const QString path = dir.filePath(QString::fromStdString(name));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    return path.toStdString();
}

}  // namespace gltest
