#include "gl/texture.h"

#include "core/file_failure.h"

#include "gl/glerror.h"

#include <QString>

#include <algorithm>

namespace qel {

int Texture::GLActiveTexture = 0;

std::string prefixedPath(const std::string& path, bool inFolder, const std::string& folder) {
    if (!inFolder || (!path.empty() && path[0] == ':')) return path;
    return folder + path;
}

int texelBytes(GLenum format, GLenum type) {
    int channels = 0;
    switch (format) {
        case GL_RED: case GL_RED_INTEGER: case GL_DEPTH_COMPONENT: channels = 1; break;
        case GL_RG: case GL_RG_INTEGER: channels = 2; break;
        case GL_RGB: case GL_BGR: case GL_RGB_INTEGER: channels = 3; break;
        case GL_RGBA: case GL_BGRA: case GL_RGBA_INTEGER: channels = 4; break;
        case GL_DEPTH_STENCIL: return type == GL_FLOAT_32_UNSIGNED_INT_24_8_REV ? 8 : 4;
        default: return 0;
    }
    switch (type) {
        case GL_UNSIGNED_BYTE: case GL_BYTE: return channels;
        case GL_UNSIGNED_SHORT: case GL_SHORT: case GL_HALF_FLOAT: return 2 * channels;
        case GL_UNSIGNED_INT: case GL_INT: case GL_FLOAT: return 4 * channels;
        default: return 0;
    }
}

Texture::Texture(GLenum internal, GLenum format, GLenum type, GLenum wrap, GLenum filter)
    : internal_(internal), format_(format), type_(type), wrap_(wrap), filter_(filter) {}

Texture::~Texture() {
    disable();
    deleteTexture();
}

bool Texture::enable() {
    if (!compile()) return false;
    if (enabled_) return true;
    unit_ = GLActiveTexture;
    gl->glActiveTexture(GL_TEXTURE0 + GLenum(unit_));
    gl->glBindTexture(target_, name_);
    ++GLActiveTexture;
    enabled_ = true;
    return true;
}

void Texture::disable() {
    if (!enabled_) return;
    enabled_ = false;
    if (GLActiveTexture > 0) --GLActiveTexture;
    if (!gl) return;
    gl->glActiveTexture(GL_TEXTURE0 + GLenum(unit_));
    gl->glBindTexture(target_, 0);
}

void Texture::setData(const std::uint8_t* bytes, int n) {
    if (!bytes || n <= 0) {
        dropPixels();
    } else {
        pixels_.assign(bytes, bytes + n);
        byteCount_ = n;
    }
    compiled_ = false;
}

void Texture::release() {
    disable();
    deleteTexture();
    dropPixels();
}

int Texture::unit() { return enable() ? unit_ : -1; }

GLuint Texture::id() { return compile() ? name_ : 0; }

bool Texture::load(const std::string&) { return true; }

void Texture::DataWrite(buffer&) {}

bool Texture::DataRead(buffer&) { return true; }

bool Texture::getData(std::vector<std::uint8_t>&) { return true; }

int Texture::width() const { return size_.size() > 0 ? size_[0] : 0; }
int Texture::height() const { return size_.size() > 1 ? size_[1] : 0; }
int Texture::depth() const { return size_.size() > 2 ? size_[2] : 0; }

void Texture::setFormat(GLenum internal, GLenum format, GLenum type) {
    if (internal == internal_ && format == format_ && type == type_) return;
    internal_ = internal;
    format_ = format;
    type_ = type;
    compiled_ = false;
}

void Texture::setDecodeLimit(std::size_t bytes) { decodeLimit_ = std::min(bytes, MaxDecodeBytes); }

void Texture::failedToOpen() {
    imageFailure_ = readFailure(path_);
    // What the file system shows no fault in is a device, a pipe or the like.
    if (imageFailure_.empty()) imageFailure_ = "it is not a regular file";
}

void Texture::failedToDecode(const QString& decoderMessage) {
    imageFailure_ = "the image decoder refused it";
    if (!decoderMessage.isEmpty()) imageFailure_ += " (" + decoderMessage.toStdString() + ")";
}

void Texture::setSize(const std::vector<int>& size) {
    if (size == size_) return;
    size_ = size;
    compiled_ = false;
}

void Texture::dropPixels() {
    std::vector<std::uint8_t>().swap(pixels_);
    byteCount_ = 0;
}

void Texture::deleteTexture() {
    compiled_ = false;
    if (!hasName_) return;
    hasName_ = false;
    if (gl) gl->glDeleteTextures(1, &name_);
}

void Texture::bindName() {
    // Bind on the next free unit: the active unit may hold an enabled texture
    // of the same target, which must stay bound.
    gl->glActiveTexture(GL_TEXTURE0 + GLenum(GLActiveTexture));
    if (!hasName_) {
        gl->glGenTextures(1, &name_);
        hasName_ = true;
    }
    gl->glBindTexture(target_, name_);
}

bool Texture::compileImage(const char* className) {
    if (compiled_) return true;
    if (!gl) return false;
    glClearErrors();
    const bool volume = target_ == GL_TEXTURE_3D;
    const int w = width(), h = height(), d = volume ? depth() : 1;
    const std::uint8_t* data = nullptr;
    if (!pixels_.empty()) {
        if (pixels_.size() >= uploadBytes(w, h, d))
            data = pixels_.data();
        else
            glReportError(std::string("ERROR ") + className + "::compile " + path_ + " (too few texel bytes)");
    }
    bindName();
    gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    if (volume)
        gl->glTexImage3D(target_, 0, GLint(internal_), w, h, d, 0, format_, type_, data);
    else
        gl->glTexImage2D(target_, 0, GLint(internal_), w, h, 0, format_, type_, data);
    if (!finishCompile(std::string("ERROR ") + className + "::compile " + path_, volume)) return false;
    // The CPU copy exists only until the upload.
    dropPixels();
    return true;
}

bool Texture::finishCompile(const std::string& failure, bool wrapR) {
    gl->glTexParameteri(target_, GL_TEXTURE_MAG_FILTER, GLint(filter_));
    gl->glTexParameteri(target_, GL_TEXTURE_MIN_FILTER, GLint(filter_));
    gl->glTexParameteri(target_, GL_TEXTURE_WRAP_S, GLint(wrap_));
    gl->glTexParameteri(target_, GL_TEXTURE_WRAP_T, GLint(wrap_));
    if (wrapR) gl->glTexParameteri(target_, GL_TEXTURE_WRAP_R, GLint(wrap_));
    gl->glBindTexture(target_, 0);
    compiled_ = gl->glGetError() == GL_NO_ERROR;
    if (!compiled_) glReportError(failure);
    return compiled_;
}

std::size_t Texture::uploadBytes(int w, int h, int d) const {
    const int texel = texelBytes(format_, type_);
    if (texel == 0 || w <= 0 || h <= 0 || d <= 0) return 0;
    const std::size_t row = (std::size_t(w) * std::size_t(texel) + 3) / 4 * 4;
    return row * std::size_t(h) * std::size_t(d) - (row - std::size_t(w) * std::size_t(texel));
}

}  // namespace qel
