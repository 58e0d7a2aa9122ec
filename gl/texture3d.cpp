#include "gl/texture3d.h"

#include "gl/buffer.h"
#include "gl/glerror.h"
#include "gl/image_file.h"
#include "gl/texture2d.h"

#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cstring>
#include <memory>

namespace qel {

Texture3D::Texture3D(int w, int h, int d, GLenum internal, GLenum format, GLenum type, GLenum wrap, GLenum filter)
    : Texture(internal, format, type, wrap, filter) {
    size_ = {w, h, d};
}

Texture3D::Texture3D(const std::string& path, bool inTexturesFolder)
    : Texture(GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR) {
    load(prefixedPath(path, inTexturesFolder, TexturesFolder));
}

Texture3D::Texture3D(buffer& in) : Texture(GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR) {
    Texture3D::DataRead(in);
}

bool Texture3D::compile() {
    target_ = GL_TEXTURE_3D;
    return compileImage("Texture3D");
}

bool Texture3D::load(const std::string& path) {
    path_ = path;
    const std::unique_ptr<QIODevice> file = ImageFile::open(path);
    if (!file) {
        loadError_ = 1;
        glReportError("ERROR Texture3D::load " + path);
        return false;
    }
    dropPixels();
    frameDelay_ = 1;
    QImageReader reader(file.get());
    const int count = reader.imageCount();
    int frames = 0;
    std::size_t frameBytes = 0;
    int w = 0, h = 0;
    for (int i = 0; i < count; ++i) {
        QImage frame;
        if (!reader.read(&frame) || frame.isNull()) break;
        frame = frame.convertToFormat(QImage::Format_RGBA8888);
        if (frames == 0) {
            frameDelay_ = reader.nextImageDelay();
            w = frame.width();
            h = frame.height();
            frameBytes = std::size_t(frame.sizeInBytes());
            pixels_.reserve(std::size_t(count) * frameBytes);
        }
        // Every layer holds exactly one first-frame's worth of bytes, so a
        // frame of another size can neither shift the later layers nor run
        // past the storage.
        const std::size_t offset = pixels_.size();
        pixels_.resize(offset + frameBytes, 0);
        std::memcpy(pixels_.data() + offset, frame.constBits(),
                    std::min(frameBytes, std::size_t(frame.sizeInBytes())));
        ++frames;
    }
    internal_ = GL_RGBA8;
    format_ = GL_RGBA;
    type_ = GL_UNSIGNED_BYTE;
    wrap_ = GL_CLAMP_TO_EDGE;
    filter_ = GL_LINEAR;
    compiled_ = false;
    if (frames == 0) {
        dropPixels();
        loadError_ = 1;
        glReportError("ERROR Texture3D::load " + path + " (no frame)");
        return false;
    }
    setSize({w, h, frames});
    byteCount_ = int(pixels_.size());
    return true;
}

void Texture3D::DataWrite(buffer& out) { writeTextureRecord(out, RecordTag, path_); }

bool Texture3D::DataRead(buffer& in) {
    std::string path;
    if (!readTextureRecordPath(in, path)) {
        release();
        path_.clear();
        loadError_ = 1;
        glReportError("ERROR Texture3D::DataRead record cut short");
        return false;
    }
    return load(path);
}

void Texture3D::resize(int w, int h, int d) { setSize({w, h, d}); }

}  // namespace qel
