#include "gl/texture3d.h"

#include "gl/buffer.h"
#include "gl/glerror.h"
#include "gl/image_file.h"
#include "gl/image_header.h"
#include "gl/texture2d.h"

#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace qel {

Texture3D::Texture3D(int w, int h, int d, GLenum internal, GLenum format, GLenum type, GLenum wrap, GLenum filter)
    : Texture(internal, format, type, wrap, filter) {
    size_ = {w, h, d};
}

Texture3D::Texture3D(const std::string& path, bool inTexturesFolder, std::size_t mostBytes)
    : Texture(GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR) {
    setDecodeLimit(mostBytes);
    load(prefixedPath(path, inTexturesFolder, TexturesFolder));
}

Texture3D::Texture3D(buffer& in, std::size_t mostBytes)
    : Texture(GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR) {
    setDecodeLimit(mostBytes);
    Texture3D::DataRead(in);
}

bool Texture3D::compile() {
    target_ = GL_TEXTURE_3D;
    return compileImage("Texture3D");
}

namespace {

// Frames a decoding holds beside those it keeps: the decoder's own and the
// converted copy.
constexpr std::size_t DecodeCopies = 2;

// Bytes of one RGBA8 frame of w x h.
std::size_t rgbaBytes(int w, int h) { return w > 0 && h > 0 ? std::size_t(w) * std::size_t(h) * 4 : 0; }

}  // namespace

bool Texture3D::load(const std::string& path) {
    path_ = path;
    // Under a limit of nothing no image fits: the file is not even read.
    cutByLimit_ = decodeLimit_ == 0;
    imageFailure_.clear();
    const std::unique_ptr<QIODevice> file = cutByLimit_ ? nullptr : ImageFile::open(path);
    if (!file) {
        dropPixels();
        if (!cutByLimit_) failedToOpen();
        loadError_ = 1;
        glReportError("ERROR Texture3D::load " + path + (cutByLimit_ ? " (too large)" : ""));
        return false;
    }
    dropPixels();
    frameDelay_ = 1;
    bool read = false;
    try {
        read = readFrames(*file);
    } catch (const std::bad_alloc&) {
        // Decoding ran out of memory: the texture fails, the program goes on.
        read = false;
        imageFailure_ = "there is not enough memory to decode it";
    }
    internal_ = GL_RGBA8;
    format_ = GL_RGBA;
    type_ = GL_UNSIGNED_BYTE;
    wrap_ = GL_CLAMP_TO_EDGE;
    filter_ = GL_LINEAR;
    compiled_ = false;
    if (!read) {
        dropPixels();
        loadError_ = 1;
        glReportError("ERROR Texture3D::load " + path + (cutByLimit_ ? " (too large)" : " (no frame)"));
        return false;
    }
    byteCount_ = int(pixels_.size());
    return true;
}

bool Texture3D::readFrames(QIODevice& file) {
    QImageReader reader(&file);
    const int count = reader.imageCount();
    // The frames that fit the limit, counted from the header before any is
    // decoded; an image whose header tells nothing is counted from its
    // first decoded frame.
    std::size_t frameBytes = 0;
    int fitting = count;
    // While a frame is decoded, the decoder's own frame and the converted
    // copy are held beside the frames kept: two frames more.
    const auto limitFrames = [&](std::size_t bytes) {
        const std::size_t held = bytes > 0 ? decodeLimit_ / bytes : 0;
        const std::size_t fit = held > DecodeCopies ? held - DecodeCopies : 0;
        // Not one frame fits: refused for its size, whatever the count.
        if (fit == 0) cutByLimit_ = true;
        if (fit < std::size_t(fitting)) {
            fitting = int(fit);
            cutByLimit_ = true;
        }
    };
    const QSize header = imageHeaderSize(file, reader);
    if (rgbaBytes(header.width(), header.height()) > 0) limitFrames(rgbaBytes(header.width(), header.height()));
    int frames = 0;
    int w = 0, h = 0;
    for (int i = 0; i < fitting; ++i) {
        QImage frame;
        if (!reader.read(&frame) || frame.isNull()) {
            if (frames == 0) failedToDecode(reader.errorString());
            break;
        }
        frame = frame.convertToFormat(QImage::Format_RGBA8888);
        if (frame.isNull()) break;
        if (frames == 0) {
            frameDelay_ = reader.nextImageDelay();
            w = frame.width();
            h = frame.height();
            frameBytes = std::size_t(frame.sizeInBytes());
            limitFrames(frameBytes);
            if (fitting == 0) break;
            pixels_.reserve(std::size_t(fitting) * frameBytes);
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
    if (frames == 0) return false;
    setSize({w, h, frames});
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
