#pragma once
// The size an image decodes to, read from its header before anything is
// decoded, so that an image too large for a decode limit is refused
// without being decoded.

#include <QIODevice>
#include <QImageReader>
#include <QSize>

namespace qel {

// The size every frame of the image on `file` decodes to: the reader's
// answer, widened to a GIF's logical screen (a GIF frame is decoded onto the
// whole screen, which the reader's answer need not include). (0, 0) when the
// header tells nothing. `reader` reads from `file`; nothing is consumed.
QSize imageHeaderSize(QIODevice& file, QImageReader& reader);

}  // namespace qel
