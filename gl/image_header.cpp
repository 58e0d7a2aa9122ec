#include "gl/image_header.h"

#include <QByteArray>
#include <cstdint>

namespace qel {

QSize imageHeaderSize(QIODevice& file, QImageReader& reader) {
    QSize size = reader.size();
    if (!size.isValid()) size = QSize(0, 0);
    const QByteArray head = file.peek(10);
    if (head.size() == 10 && (head.startsWith("GIF87a") || head.startsWith("GIF89a"))) {
        const auto u16 = [&head](int at) { return int(std::uint8_t(head[at])) | int(std::uint8_t(head[at + 1])) << 8; };
        size = size.expandedTo(QSize(u16(6), u16(8)));
    }
    return size;
}

}  // namespace qel
