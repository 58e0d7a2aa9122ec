#include "gl/texturecube.h"

#include "gl/glerror.h"
#include "gl/panorama.h"

#include <QImage>
#include <QString>

namespace qel {

namespace {

// Bytes of one face of edge n, tightly packed; 0 for an unknown layout.
std::size_t faceBytes(int n, GLenum format, GLenum type) {
    if (n <= 0) return 0;
    return std::size_t(n) * std::size_t(n) * std::size_t(texelBytes(format, type));
}

}  // namespace

TextureCube::TextureCube(int size, GLenum internal, GLenum format, GLenum type, GLenum wrap, GLenum filter)
    : Texture(internal, format, type, wrap, filter) {
    size_ = {size, size};
}

TextureCube::TextureCube(const std::string& path, int size, bool inEnvironmentsFolder)
    : Texture(GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR) {
    size_ = {size, size};
    load(prefixedPath(path, inEnvironmentsFolder, EnvironmentsFolder));
}

bool TextureCube::load(const std::string& path) {
    release();
    QImage image;
    if (!path.empty()) image.load(QString::fromUtf8(path.c_str()));
    if (image.isNull()) {
        glReportError("ERROR TextureCube::load " + path);
        return false;
    }
    path_ = path;
    if (image.hasAlphaChannel()) {
        internal_ = GL_RGBA8;
        format_ = GL_RGBA;
    } else {
        internal_ = GL_RGB8;
        format_ = GL_RGB;
    }
    type_ = GL_UNSIGNED_BYTE;
    wrap_ = GL_CLAMP_TO_EDGE;
    filter_ = GL_LINEAR;
    return true;
}

void TextureCube::uploadFace(int f, const QImage* panorama) {
    const GLenum face = GL_TEXTURE_CUBE_MAP_POSITIVE_X + GLenum(f);
    const int n = width();
    const std::size_t need = faceBytes(n, format_, type_);
    if (!pixels_.empty() && need > 0 && pixels_.size() / 6 >= need) {
        gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        gl->glTexImage2D(face, 0, GLint(internal_), n, n, 0, format_, type_,
                         pixels_.data() + std::size_t(f) * (pixels_.size() / 6));
        return;
    }
    if (pixels_.empty() && panorama) {
        const QImage image =
            panoramaFace(*panorama, f, n, internal_ == GL_RGB8 ? QImage::Format_RGB888 : QImage::Format_RGBA8888);
        if (!image.isNull()) {
            // The face is described by its own byte layout; GL converts it to
            // the texture's internal format.
            const bool rgb = image.format() == QImage::Format_RGB888;
            gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
            gl->glTexImage2D(face, 0, GLint(internal_), n, n, 0, rgb ? GL_RGB : GL_RGBA, GL_UNSIGNED_BYTE,
                             image.constBits());
            return;
        }
    }
    gl->glTexImage2D(face, 0, GLint(internal_), n, n, 0, format_, type_, nullptr);
}

bool TextureCube::compile() {
    if (compiled_) return true;
    if (!gl) return false;
    glClearErrors();
    target_ = GL_TEXTURE_CUBE_MAP;
    bindName();
    QImage panorama;
    if (!path_.empty() && pixels_.empty()) {
        panorama = QImage(QString::fromUtf8(path_.c_str()));
        if (panorama.isNull()) {
            // The image is gone: the faces get storage without data.
            loadError_ = 1;
            glReportError("ERROR TextureCube::compile " + path_ + " (image unreadable)");
        } else {
            panorama = panorama.convertToFormat(QImage::Format_ARGB32);
        }
    }
    for (int f = 0; f < 6; ++f) uploadFace(f, panorama.isNull() ? nullptr : &panorama);
    return finishCompile("ERROR TextureCube::compile " + path_, true);
}

bool TextureCube::getData(std::vector<std::uint8_t>& bytes) {
    const std::size_t face = faceBytes(width(), format_, type_);
    if (face == 0 || !enable()) return false;
    bytes.resize(6 * face);
    // Faces are read tightly packed: rows of odd byte width are not padded.
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int f = 0; f < 6; ++f)
        gl->glGetTexImage(GL_TEXTURE_CUBE_MAP_POSITIVE_X + GLenum(f), 0, format_, type_,
                          bytes.data() + std::size_t(f) * face);
    disable();
    return true;
}

void TextureCube::resize(int size) { setSize({size, size}); }

TextureCubeArray::TextureCubeArray(int size, int layers, GLenum internal, GLenum format, GLenum type, GLenum wrap,
                                   GLenum filter)
    : Texture(internal, format, type, wrap, filter) {
    size_ = {size, size, layers};
}

bool TextureCubeArray::compile() {
    if (compiled_) return true;
    if (!gl) return false;
    glClearErrors();
    target_ = GL_TEXTURE_CUBE_MAP_ARRAY;
    bindName();
    gl->glTexImage3D(target_, 0, GLint(internal_), width(), height(), 6 * depth(), 0, format_, type_, nullptr);
    return finishCompile("ERROR TextureCubeArray::compile", false);
}

void TextureCubeArray::resize(int size, int layers) { setSize({size, size, layers}); }

bool TextureCubeArray::set(int layer, TextureCube* cube) {
    if (!cube || !compile()) return false;
    std::vector<std::uint8_t> bytes;
    if (!cube->getData(bytes)) return false;
    if (cube->width() != width()) return false;
    return upload(layer, bytes, cube->format(), cube->type());
}

bool TextureCubeArray::set(int layer, const std::vector<std::uint8_t>& bytes) {
    if (!compile()) return false;
    return upload(layer, bytes, format_, type_);
}

bool TextureCubeArray::upload(int layer, const std::vector<std::uint8_t>& bytes, GLenum format, GLenum type) {
    const std::size_t face = faceBytes(width(), format, type);
    if (layer < 0 || layer >= depth() || face == 0 || bytes.size() < 6 * face) return false;
    bindName();
    gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl->glTexSubImage3D(target_, 0, 0, 0, 6 * layer, width(), height(), 6, format, type, bytes.data());
    gl->glBindTexture(target_, 0);
    return true;
}

}  // namespace qel
