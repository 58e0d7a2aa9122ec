#include "gl_util.h"

#include "gl/resources.h"
#include "gl/texture2d.h"

#include <QFile>

namespace gltest {

void useShaderResources() { qel::initShaderResources(); }

qel::Texture2D* rgbaTexture(int w, int h, const std::vector<std::uint8_t>& bytes) {
    auto* texture = new qel::Texture2D(w, h, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_NEAREST);
    texture->setData(bytes.data(), int(bytes.size()));
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
    GLint previous = 0;
    gl->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
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

std::vector<std::uint8_t> readRGBA8(GLuint texture, int w, int h) {
    return readBack<std::uint8_t>(texture, w, h, GL_RGBA, GL_UNSIGNED_BYTE, 4);
}

std::vector<float> readFloats(GLuint texture, int w, int h, GLenum format) {
    const int channels = format == GL_RGBA ? 4 : format == GL_RGB ? 3 : 1;
    return readBack<float>(texture, w, h, format, GL_FLOAT, channels);
}

std::string savePng(const QTemporaryDir& dir, const std::string& name, const QImage& image) {
    const QString path = dir.filePath(QString::fromStdString(name));
    image.save(path, "PNG");
    return path.toStdString();
}

std::string saveBytes(const QTemporaryDir& dir, const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const QString path = dir.filePath(QString::fromStdString(name));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    return path.toStdString();
}

std::vector<std::uint8_t> twoFrameGif() {
    return {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x02, 0x00, 0x02, 0x00, 0x81, 0x00, 0x00, 0xFF, 0x00,
            0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x21, 0xF9, 0x04, 0x00, 0x0A,
            0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0x02, 0x03,
            0x44, 0xA8, 0x15, 0x00, 0x21, 0xF9, 0x04, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00,
            0x00, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0x02, 0x03, 0x9C, 0x18, 0x14, 0x00, 0x3B};
}

}  // namespace gltest
