#include "gl/texture2d.h"

#include "gl/buffer.h"
#include "gl/glerror.h"
#include "gl/image_file.h"
#include "gl/image_header.h"

#include <QImage>
#include <QImageReader>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace qel {

// Rand is defined before Random so that it exists when Random is filled.
std::vector<std::vector<vec3>> Texture2D::Rand;
Texture2D* Texture2D::Random = Texture2D::random(512, 512);

void writeTextureRecord(buffer& out, std::uint32_t tag, const std::string& path) {
    const std::uint32_t n = std::uint32_t(path.size());
    out.writeU32(tag);
    out.writeU32(n + 4);
    out.writeU32(n);
    out.writeBytes(path.data(), path.size());
}

bool readTextureRecordPath(buffer& in, std::string& path) {
    path.clear();
    if (!in.canRead(1, 4)) {
        in.require(1, 4);
        return false;
    }
    const std::int32_t n = in.readI32();
    if (n <= 0) return true;
    return in.readBytes(path, std::uint32_t(n));
}

Texture2D::Texture2D(int w, int h, GLenum internal, GLenum format, GLenum type, GLenum wrap, GLenum filter)
    : Texture(internal, format, type, wrap, filter) {
    size_ = {w, h};
}

Texture2D::Texture2D(const std::string& path, bool inTexturesFolder, std::size_t mostBytes)
    : Texture(GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR) {
    setDecodeLimit(mostBytes);
    load(prefixedPath(path, inTexturesFolder, TexturesFolder));
}

Texture2D::Texture2D(buffer& in, std::size_t mostBytes)
    : Texture(GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR) {
    setDecodeLimit(mostBytes);
    Texture2D::DataRead(in);
}

bool Texture2D::compile() {
    target_ = GL_TEXTURE_2D;
    return compileImage("Texture2D");
}

bool Texture2D::load(const std::string& path) {
    release();
    path_ = path;
    // Under a limit of nothing no image fits: the file is not even read.
    cutByLimit_ = decodeLimit_ == 0;
    imageFailure_.clear();
    bool read = false;
    try {
        read = !cutByLimit_ && readImage();
    } catch (const std::bad_alloc&) {
        // Decoding ran out of memory: the texture fails, the program goes on.
        dropPixels();
        imageFailure_ = "there is not enough memory to decode it";
    }
    if (!read) {
        loadError_ = 1;
        glReportError("ERROR Texture2D::load " + path + (cutByLimit_ ? " (too large)" : ""));
        return false;
    }
    wrap_ = GL_CLAMP_TO_EDGE;
    filter_ = GL_LINEAR;
    compiled_ = false;
    return true;
}

bool Texture2D::readImage() {
    const std::unique_ptr<QIODevice> file = ImageFile::open(path_);
    if (!file) {
        failedToOpen();
        return false;
    }
    QImageReader reader(file.get());
    // The size from the header (a GIF's logical screen included), before
    // anything is decoded, at four bytes a pixel (the most a conversion below
    // makes), three times: the decoded image, its converted copy and the
    // pixels kept are held at once.
    const auto over = [this](QSize size) {
        return double(size.width()) * double(size.height()) * 4.0 * 3.0 > double(decodeLimit_);
    };
    const QSize header = imageHeaderSize(*file, reader);
    if (over(header)) {
        cutByLimit_ = true;
        return false;
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        failedToDecode(reader.errorString());
        return false;
    }
    if (over(image.size())) {
        cutByLimit_ = true;
        return false;
    }
    if (image.hasAlphaChannel()) {
        image = image.convertToFormat(QImage::Format_RGBA8888);
        internal_ = GL_RGBA8;
        format_ = GL_RGBA;
    } else {
        image = image.convertToFormat(QImage::Format_RGB888);
        internal_ = GL_RGB8;
        format_ = GL_RGB;
    }
    if (image.isNull()) return false;
    type_ = GL_UNSIGNED_BYTE;
    setSize({image.width(), image.height()});
    // Rows as the image stores them: top row first, each aligned to 4 bytes.
    const auto* bits = image.constBits();
    pixels_.assign(bits, bits + image.sizeInBytes());
    byteCount_ = int(pixels_.size());
    return true;
}

void Texture2D::DataWrite(buffer& out) { writeTextureRecord(out, recordTag(), path_); }

bool Texture2D::DataRead(buffer& in) {
    std::string path;
    if (!readTextureRecordPath(in, path)) {
        // A record cut short names no image: nothing is read from disk.
        release();
        path_.clear();
        loadError_ = 1;
        glReportError("ERROR Texture2D::DataRead record cut short");
        return false;
    }
    return load(path);
}

void Texture2D::resize(int w, int h) { setSize({w, h}); }

int Texture2D::generateMipMaps() {
    if (!enable()) return 0;
    gl->glTexParameteri(target_, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    gl->glGenerateMipmap(GL_TEXTURE_2D);
    disable();
    return mipMapLevels();
}

int Texture2D::mipMapLevels() const {
    int m = width() > height() ? width() : height();
    if (m <= 0) return 0;
    int levels = 1;
    while (m > 1) {
        m >>= 1;
        ++levels;
    }
    return levels;
}

Texture2D* Texture2D::random(int w, int h) {
    auto* texture = new Texture2D(w, h, GL_RGB32F, GL_RGB, GL_FLOAT, GL_REPEAT, GL_LINEAR);
    if (w <= 0 || h <= 0) {
        Rand.clear();
        return texture;
    }
    Rand.assign(std::size_t(h), std::vector<vec3>(std::size_t(w)));
    std::vector<float> values;
    values.reserve(std::size_t(w) * std::size_t(h) * 3);
    const auto component = [] {
        const int r = std::rand();
        return 2.0f * float(r % 8009) / 8009.0f - 1.0f;
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const float v1 = component();
            const float v2 = component();
            const float v3 = component();
            Rand[std::size_t(y)][std::size_t(x)] = vec3(v1, v2, v3);
            values.push_back(v1);
            values.push_back(v2);
            values.push_back(v3);
        }
    }
    texture->setData(reinterpret_cast<const std::uint8_t*>(values.data()), int(values.size() * sizeof(float)));
    return texture;
}

}  // namespace qel
