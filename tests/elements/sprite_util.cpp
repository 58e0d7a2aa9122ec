#include "elements/sprite_util.h"

#include <QFile>
#include <algorithm>

namespace spritetest {

namespace {

void u16(std::vector<std::uint8_t>& out, int v) {
    out.push_back(std::uint8_t(v & 0xFF));
    out.push_back(std::uint8_t((v >> 8) & 0xFF));
}

// The image data of one frame of a single palette entry: LZW with a minimum
// code size of 2, a clear code before every pixel so that every code stays 3
// bits wide, then the end code; in sub-blocks of at most 255 bytes.
void frameData(std::vector<std::uint8_t>& out, int pixels, int index) {
    std::vector<std::uint8_t> packed;
    unsigned bits = 0;
    int used = 0;
    const auto code = [&](unsigned c) {
        bits |= c << used;
        used += 3;
        while (used >= 8) {
            packed.push_back(std::uint8_t(bits & 0xFF));
            bits >>= 8;
            used -= 8;
        }
    };
    for (int i = 0; i < pixels; ++i) {
        code(4);
        code(unsigned(index));
    }
    code(5);
    if (used > 0) packed.push_back(std::uint8_t(bits & 0xFF));
    out.push_back(2);
    for (std::size_t at = 0; at < packed.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, packed.size() - at);
        out.push_back(std::uint8_t(n));
        out.insert(out.end(), packed.begin() + long(at), packed.begin() + long(at + n));
    }
    out.push_back(0);
}

}  // namespace

std::string save(const QTemporaryDir& dir, const std::string& name, const QImage& image) {
    const QString path = dir.filePath(QString::fromStdString(name));
    image.save(path);
    return path.toStdString();
}

QImage filled(int w, int h, QColor colour, QImage::Format format) {
    QImage image(w, h, format);
    image.fill(colour);
    return image;
}

std::string saveGif(const QTemporaryDir& dir, const std::string& name, int w, int h, int frames, int delayCs) {
    std::vector<std::uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a'};
    u16(gif, w);
    u16(gif, h);
    gif.insert(gif.end(), {0x81, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255});
    for (int k = 0; k < frames; ++k) {
        gif.insert(gif.end(), {0x21, 0xF9, 4, 0});
        u16(gif, delayCs);
        gif.insert(gif.end(), {0, 0, 0x2C, 0, 0, 0, 0});
        u16(gif, w);
        u16(gif, h);
        gif.push_back(0);
        frameData(gif, w * h, k % 4);
    }
    gif.push_back(0x3B);
    const QString path = dir.filePath(QString::fromStdString(name));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(reinterpret_cast<const char*>(gif.data()), qint64(gif.size()));
    return path.toStdString();
}

}  // namespace spritetest
